// Archives for the installer's tests, made at test time with python's
// zipfile, which keeps entry names exactly as given (hostile ones included:
// "../x", "..\y", "/abs", "C:x").
#pragma once

#include <set>
#include <string>
#include <vector>

#include "support/ZipMaker.h"

namespace deploytest {

// Attributes of a plain file entry (Unix mode 0100644 in the high half) and
// of an entry the installer makes as a directory (bit 0x4000).
constexpr unsigned knFileAttributes = 0100644u << 16;
constexpr unsigned knDirectoryAttributes = 0x4000u;

// Every entry is dated 2020-05-17 10:20:30 (local time of the reader).
struct stDeployEntry {
  std::string sName;  // UTF-8, kept as it is
  std::string sData;
  unsigned nAttributes = knFileAttributes;
  bool bDeflate = false;
};

// Writes the archive `archive` (relative to `dir`) holding the entries in
// order. False when python failed.
bool bMakeDeployArchive(const zipmaker::ZipMakerDir& dir, const std::string& archive,
                        const std::vector<stDeployEntry>& entries);

// Changes one byte of the first occurrence of `marker` in the archive's
// bytes (the data of a stored entry), so that its CRC-32 no longer matches.
bool bCorruptStoredData(const zipmaker::ZipMakerDir& dir, const std::string& archive,
                        const std::string& marker);

// UTF-8 and wide forms of a text (null gives an empty text).
std::string sNarrow(const wchar_t* text);
std::string sNarrow(const std::wstring& text);
std::wstring sWide(const std::string& text);

// Names in a directory, "." and ".." left out; empty when it cannot be read.
std::set<std::string> Listing(const std::string& directory);

}  // namespace deploytest
