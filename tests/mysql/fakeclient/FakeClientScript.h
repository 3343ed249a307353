// The script and the call log of the fake MariaDB client library
// (FakeClient.cpp), shared by the library and the tests that drive it.
//
// A test loads the fake by its path (kxtest::FakeClientPath), fetches the
// one script with the exported kxfake_script() and sets it before the
// connection under test loads the same file. The fake then answers from the
// script and appends one line per call of interest to vecLog:
//   "init", "options <option> <text>", "ssl_set <key>|<cert>|<ca>|<capath>|<cipher>"
//   ("(null)" for a null text), "connect host=<h> user=<u> db=<d> port=<n>
//   socket=<s> flags=0x<hex>", "query <text>", "escape <text>",
//   "real_escape <text>", "set_character_set <name>", "close".
//
// Server behaviour it imitates: a connection names an existing database or
// none (else 1049); CREATE DATABASE adds one, USE selects it; a handle
// connected already refuses a second connect (2058); a refused connect
// without CLIENT_REMEMBER_OPTIONS forgets the handle's character set and SSL
// settings; several statements in one text need CLIENT_MULTI_STATEMENTS.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

struct FakeClientScript {
  // ---- Answers ----
  std::string sClientVersion = "5.0.96";
  std::string sServerVersion = "10.11.6-MariaDB";
  bool bInitReturnsNull = false;
  // Error numbers of the next connects, one consumed per connect (0 or an
  // empty list: the connect is judged by the databases).
  std::vector<unsigned> vecConnectErrors;
  // Databases that exist; a connect naming another fails with 1049.
  std::set<std::string> setDatabases = {"kxtest"};
  // What mysql_options and mysql_ssl_set answer (0 accepted).
  int nOptionsResult = 0;
  int nSslSetResult = 0;
  // A character-set name mysql_options refuses (answers 1), as an older
  // client library refuses a name it does not know.
  std::string sRefusedCharset;
  // The server's status flag NO_BACKSLASH_ESCAPES on every connection.
  bool bNoBackslashEscapes = false;
  // Statements (whole text of one statement) that fail with this number.
  std::map<std::string, unsigned> mapFailingStatements;

  // ---- Records ----
  std::vector<std::string> vecLog;
  int nHandlesAlive = 0;
  int nResultsAlive = 0;

  // The lines of the log that start with `prefix`.
  std::vector<std::string> Lines(const std::string& prefix) const {
    std::vector<std::string> vec;
    for (const std::string& s : vecLog)
      if (s.compare(0, prefix.size(), prefix) == 0) vec.push_back(s);
    return vec;
  }
};

// The exported control function.
extern "C" {
typedef FakeClientScript* (*PFN_kxfake_script)();
}
