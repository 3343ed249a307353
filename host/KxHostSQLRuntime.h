// kxhost's SQL-runtime mode: with --sql TEXT (repeatable, run in order on
// one connection) and --table-list FLAGS, kxhost drives the driver's SQL
// face as the platform's SQL runtime does (CStandInSQLRuntime) and prints
// each step:
//   -> sql bOpenConnection: <answer>, connection <handle>
//   -> sql bExecute "<text>": <answer>, statement <handle>
//      row: <fields joined by a tab>            (one line per row)
//   -> sql bFetch: <answer of the last fetch>, error: <text or "none">
//   -> sql bGetTableList(0x<flags>): <answer>
//      record: <record>                          (one line per record)
//   -> sql bCloseConnection: <answer>
//   -> sql nExternalRelease
#pragma once

#include <functional>
#include <string>
#include <vector>

class INAConnectionDescription;
class INADriver;

struct STKxHostSQL {
  std::vector<std::string> vecTexts;  // --sql, UTF-8
  bool bTableList = false;            // --table-list given
  unsigned int nTableListFlags = 0;
  bool bGiven() const { return !vecTexts.empty() || bTableList; }
};

// Reads `option` with its `value` when it is one of the mode's options:
// true when it was (*bad set when its value is unusable), false when the
// option is another one.
bool bKxHostSQLOption(const std::string& option, const std::string& value, STKxHostSQL* sql, bool* bad);

// Runs the mode on the driver's face for connection description `cnx`.
// `strMemAlloc` is the runtime's string memory (the library's values live
// in it); `printable` turns a text of the library into what may be printed
// (UTF-8, secrets masked). False when a step failed: the face or the
// connection could not be had, a text or the list was refused, a fetch
// loop ended on an error.
bool bKxHostRunSQL(INADriver* driver, INAConnectionDescription* cnx, const STKxHostSQL& sql,
                   void* strMemAlloc, const std::function<std::string(const wchar_t*)>& printable);
