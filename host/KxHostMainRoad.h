// kxhost's main road: a table opened and read through the table interface
// as the platform's runtime does it, every record read back from the native
// record buffer the library lends.
//
// RunMainRoad, on a driver whose connection to the server of `server`
// opens:
//   1. creates kxhost_road<pid> over kxhost's own session: 250 rows, `id`
//      the primary key, `grp` a key with runs of six equal values (NULL on
//      every 25th row), `name` a text with accented and four-byte
//      characters (NULL on every 10th row), `score` a 64-bit number (NULL
//      on every 7th row);
//   2. declares it (CStandInDataSource::Declare), gets it (piGetTable) on a
//      connection of "KX Cache Size" 100, and opens it in a first context
//      (bHOuvre);
//   3. reads it on `id` first to last and last to first, printing every
//      record decoded from the buffer bGetRecord lends ("row next ..." and
//      "row previous ...");
//   4. searches `grp` for a value held and one not held (bHRecherche), with
//      bEvalHTrouve and bHEnDehors after each; changes the key from `id` to
//      `grp` on a record and reads next; counts the records (bHNbEnr);
//   5. reads in a second context that never opened the table (user error
//      19, printed with the table's logical name), closes the table
//      (bHFerme), gives it back (nExternalRelease) and drops the table.
// Each step prints "-> <operation>: <answer>" lines; every record read is
// checked against KxHostRoadRow (a mismatch prints "unexpected: ...").
//
// False when a step did not answer as expected (the step says why).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "KxHostSession.h"

class INADriver;

// Row `id` (1 to 250) of the table the main road creates.
struct STKxHostRoadRow {
  int nId;
  std::optional<int> onGroup;
  std::optional<std::string> osName;  // UTF-8
  std::optional<std::int64_t> ollScore;
};
STKxHostRoadRow KxHostRoadRow(int nId);
constexpr int knKxHostRoadRows = 250;

bool RunMainRoad(INADriver* piDriver, const STServer& server);
