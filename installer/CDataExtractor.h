// CDataExtractor: the installer's extractor. It opens mdbdeploy's archive
// (beside the program), installs every entry into the runtime directory with
// the owner, group and mode of the runtime's library, and shows what went
// wrong on standard error.
//
// Installation goes through the safe path of SafeInstall.h: every entry name
// is checked before anything is written; the target is opened once and
// parents are walked below it without following links; every file is
// extracted into a temporary file of its directory and renamed over its
// destination only when its data is whole and its CRC-32 matched. Each
// directory entry is extracted by its own index, so that two names that
// differ only in case each get their own data.
//
// The engine reads the archive through a read-ahead stream over the
// facade's archive file, so that its many small reads of headers and data
// become a few large reads of the file.
//
// Ownership: the extractor owns its archive (the facade closes it when the
// extractor is destroyed), the read-ahead stream and, while bInstall runs,
// the descriptors of its safe tree. Messages go to standard error as UTF-8; nothing is written to
// standard output.
//
// One thread.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>

#include "CKXWinZip.h"
#include "CReadAheadStream.h"
#include "SafeInstall.h"

class CTString;
class CXError;

class CDataExtractor : public CKXWinZip {
 public:
  CDataExtractor();
  // Gives the engine back the facade's file before the read-ahead stream
  // goes.
  ~CDataExtractor() override;

  // The facade's open, after dropping what the read-ahead stream held of a
  // previous archive.
  _eKXzipResult eOuvreArchive(const wchar_t* pszChemin, unsigned dwFlags, std::int64_t llOffset) override;

  // Trace flag: when set, a failed extraction also writes the local time
  // and a trace line to standard error. The installer clears it right after
  // construction.
  int m_bTrace;

  // Opens the archive named pszBaseName with the extension "zip" in the
  // directory of the running program and reads its directory. True when the
  // archive is open; otherwise the failure has been shown. A program path of
  // more than 260 characters fails (shown) instead of being cut.
  bool bInit(const wchar_t* pszBaseName);
  // The same from a given program path (its directory is the part up to its
  // last "/" or "\").
  bool bInitFrom(const wchar_t* pszProgramPath, const wchar_t* pszBaseName);

  // Installs every entry of the open archive under pszTarget (a directory
  // ending with "/"):
  // 1. every entry name is checked (eCheckEntryName); the first refused one
  //    is shown (message 4903 with the name) and nothing is written;
  // 2. the target is created when missing and given dirOwner, dirGroup,
  //    then dirMode;
  // 3. the entries are installed in directory order with fileMode,
  //    fileOwner and fileGroup (_bInstalFile), stopping at the first that
  //    fails (entries already installed stay).
  // True only when every entry was installed.
  bool bInstall(const wchar_t* pszTarget, mode_t dirMode, uid_t dirOwner, gid_t dirGroup,
                mode_t fileMode, uid_t fileOwner, gid_t fileGroup);

  // Installs directory entry nIndex under pszTarget through the open safe
  // tree: a file, or, for an empty entry whose attributes have bit 0x4000,
  // a directory; with the entry's times, then owner, group and mode. A
  // failure is shown (and traced when the trace flag is set). Needs the
  // tree opened by bInstall.
  bool _bInstalFile(const wchar_t* pszTarget, int nIndex, mode_t mode, uid_t owner, gid_t group);

  // Error display on standard error: message 4903 with the path, then,
  // when the error holds nothing (or is null), "\r\n" and the system's text
  // of nSystemError; otherwise "\r\n", the error's system message,
  // "\r\n\r\n" and its user message. Written as it is.
  void _ShowError(const wchar_t* pszPath, int nSystemError, const CXError* pclError);
  // Nothing for result 0. Otherwise the result is looked up as a user error
  // of the installer's table; a code found there is shown with _ShowError,
  // any other code shows nothing.
  void _ShowErrorZIPSiBesoin(const wchar_t* pszName, int nSystemError, int nResult);

  // Extracts the entry "license.txt" into memory and converts it from UTF-8
  // into *pclText. False (shown like the other steps) on failure. No file
  // is written.
  bool bLoadLicense(CTString* pclText);

 private:
  // Writes the trace lines of a failed extraction when tracing.
  void _Trace(int nResult);
  // The archive's local time as a time for futimens (UTIME_OMIT when it
  // does not convert); the last conversion is kept, entries often share
  // their time.
  struct timespec _tsLocalTime(const CDiskFile::_stXFILETIME& stTime);

  CReadAheadStream m_clLecture;
  CSafeTree m_clTree;
  CDiskFile::_stXFILETIME m_stDerniereHeure = {};
  struct timespec m_tsDerniereHeure = {0, UTIME_OMIT};
  bool m_bDerniereHeure = false;
};
