// The script of the fake client library with result sets
// (FakeResultClient.cpp), shared by the library and the statement tests.
//
// It plays a client library of any age: the version text is scripted, and
// mysql_fetch_fields answers its field descriptions in the element layout
// the script names (48, 72, 120 or 128 bytes), as an old client would. Every
// text whose first statement starts with "SELECT" gets the scripted result;
// any other text succeeds without one (or fails with the scripted number).
// A stream can be scripted to break after some rows. The variant built with
// KXFAKE_NO_ROW_SEEK lacks mysql_row_tell and mysql_row_seek.
//
// The counters tell how the statement used the result (calls per function).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

struct FakeResultColumn {
  std::string sName;
  int nType = 253;                 // MYSQL_TYPE_VAR_STRING
  unsigned long long nLength = 0;  // declared length
  unsigned long long nMaxLength = 0;
  unsigned nDecimals = 0;
  unsigned nFlags = 0;
  unsigned nCharset = 33;
};

struct FakeResultScript {
  // ---- Answers ----
  std::string sClientVersion = "5.1.73";
  std::string sServerVersion = "10.11.6-MariaDB";
  // The element size mysql_fetch_fields answers in: 48, 72, 120 or 128.
  unsigned nFieldSize = 128;
  std::vector<FakeResultColumn> vecColumns;
  std::vector<std::vector<std::optional<std::string>>> vecRows;
  // A stream (mysql_use_result) breaks with this number after that many
  // rows (0: it does not break).
  unsigned nStreamBreakAfter = 0;
  unsigned nStreamBreakError = 0;
  // Texts that fail in mysql_real_query with this number.
  std::map<std::string, unsigned> mapFailingTexts;

  // ---- Records ----
  int nHandlesAlive = 0;
  int nResultsAlive = 0;
  int nFetchRow = 0;
  int nFetchLengths = 0;
  int nFetchFields = 0;
  int nDataSeek = 0;
  int nRowTell = 0;
  int nRowSeek = 0;
  int nErrno = 0;
  std::vector<std::string> vecQueries;

  void ResetCounters() {
    nFetchRow = nFetchLengths = nFetchFields = nDataSeek = nRowTell = nRowSeek = nErrno = 0;
  }
};

extern "C" {
typedef FakeResultScript* (*PFN_kxfake_result_script)();
}
