// CWinZip: the ZIP engine under the archive facade. It finds the end of the
// central directory (and the ZIP64 end records), loads every central header
// into a table of entries with a case-insensitive index by name, makes one
// entry current (by order, by index or by name), checks its local header
// against its central header and delivers its data, stored or deflated,
// optionally under the traditional PKWARE encryption, checking the CRC-32.
// Every multi-byte field of the format is little-endian; deflate decoding and
// CRC-32 come from zlib.
//
// Ownership: the engine reads through a stream it does not own (SetStream:
// the facade's CDiskFile, or a CMemoryStream); the stream must stay open and
// alive while the engine reads it. The engine owns its entry table, the
// name index, the extra-field copies of the entries and the read state.
//
// Lifecycle: constructed empty (as after step 1 of OuvreZip). OuvreZip
// reads the archive; the entries stay until the next OuvreZip or the
// destructor. Between OpenCurrentFileInZip and CloseCurrentFileInZip one
// entry is open for reading; opening another entry or destroying the engine
// closes it.
//
// Result codes: 0 success; 3 not a ZIP archive, or an entry incoherent;
// 4 no current entry; 5 read failure, or entry not found; 13 CRC-32
// mismatch; 14 wrong password; 1002 no further entry.
//
// Names: UTF-8 when general-purpose bit 11 is set, else code page 437. A
// central header whose name is longer than 1023 bytes, holds a NUL byte,
// does not convert, or converts to more than 260 characters is unreadable.
//
// Directory: the end record is searched in the last 65,535 bytes (the one
// nearest the end wins). The ZIP64 locator and end record are read when the
// directory offset is 0xFFFFFFFF (then they must be there), and also when a
// count is 0xFFFF or the size 0xFFFFFFFF (then they are used when valid;
// without them, a count of 0xFFFF reads on while central headers follow
// inside the declared directory). The table grows with the headers really
// read, never from a declared count.
//
// Name index: its keys are shared strings, which need the runtime's string
// allocator; without one (or when memory is refused) lookups scan the table.
//
// Threads: one engine belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <ctime>

#include "CTString.h"
#include "CTTableau.h"
#include "CTemplateHashTable.h"
#include "CXYString.h"

class IXStream;

// One entry of the archive, made from one central header. Copied bytewise in
// the engine's table: the name, comment and extra-field blocks belong to the
// engine, which frees them when the table is emptied (next OuvreZip or the
// destructor). The texts are kept out of the entry so that a directory of
// many entries stays small.
struct _stFICZIP {
  const wchar_t* szName;          // converted name, "/" as stored, at most 260 characters; never null
  unsigned char* pbyExtra;        // central extra field (wExtraLength bytes), or null
  const wchar_t* szComment;       // converted entry comment (code page 437), at most 260 characters; never null
  std::uint64_t llOffsetLocal;    // local header offset (ZIP64 value when given)
  std::uint64_t llOffsetLocalInit;  // copy taken after the header was parsed
  int nSeconde;                   // date-time split from the DOS value
  int nMinute;
  int nHeure;
  int nJour;
  int nMois;                      // 1-12
  int nAnnee;
  std::uint16_t wVersionMadeBy;
  std::uint16_t wVersionNeeded;
  std::uint16_t wFlags;           // general-purpose flags
  std::uint16_t wMethod;          // 0 stored, 8 deflated
  std::uint32_t dwDosDate;        // DOS date-time, date in the high half
  std::uint32_t dwCrc;
  std::uint64_t llCompressedSize;
  std::uint64_t llUncompressedSize;
  std::uint16_t wNameLength;      // bytes
  std::uint16_t wExtraLength;
  std::uint16_t wCommentLength;
  std::uint32_t dwDiskNumberStart;
  std::uint16_t wInternalAttributes;
  std::uint32_t dwExternalAttributes;  // + 438 when the archive was not made on Unix
  bool bCrypte;                   // general-purpose bit 0
  unsigned char abyCryptHeader[12];  // encryption header, read by the local header check
  bool bUtf8;                     // general-purpose bit 11
};

// Key compare of the engine's name index: wide names without regard to case
// (towupper); hash 5381, then hash * 33 + towupper(c) in 32 bits.
struct CHashCompStringI {
  static std::uint32_t dwHash(const CXYString<wchar_t>& key);
  static bool bEqual(const CXYString<wchar_t>& a, const CXYString<wchar_t>& b);
};

class CWinZip {
 public:
  // Engine results.
  static constexpr int knOk = 0;
  static constexpr int knNotZip = 3;
  static constexpr int knNoCurrent = 4;
  static constexpr int knReadError = 5;
  static constexpr int knCrcError = 13;
  static constexpr int knBadPassword = 14;
  static constexpr int knNoMoreEntry = 1002;

  // Size of the read buffer of an open entry.
  static constexpr unsigned knReadBufferSize = 16384;
  // Longest central name accepted, in bytes.
  static constexpr unsigned knMaxNameBytes = 1023;
  // Longest converted name and comment, in characters.
  static constexpr int knMaxNameChars = 260;

  CWinZip();
  // Closes the open entry; frees the table, the index and the strings.
  virtual ~CWinZip();
  CWinZip(const CWinZip&) = delete;
  CWinZip& operator=(const CWinZip&) = delete;

  // The stream later reads go through (not owned; null: none).
  void SetStream(IXStream* pStream);
  IXStream* pGetStream() const { return m_pStream; }

  // Initialises, finds the end record, reads it and the central directory
  // through the set stream; pszPath is only remembered. 0, or 3 / 5. After a
  // 3 during the directory load the entries read so far stay in the table.
  int OuvreZip(const wchar_t* pszPath, int nReserved = 0);
  // True when the file at pszPath opens and holds an end-record signature
  // within the last 65,535 bytes. The engine's stream and state are left
  // as they were.
  bool bFichierZip(const wchar_t* pszPath);

  // First or next entry in table order becomes current: 0, or 1002 past the
  // last (no entry current then).
  int FirstFile();
  int NextFile(int nReserved = 0);
  // The current entry's name, "/" replaced by "\" (empty without one). The
  // text lives until the next call.
  const wchar_t* CurrentFile_szName();
  // Makes the named entry current ("\" and "/" are the same): the index
  // without regard to case first (of two equal names the later), then a scan
  // in table order (exact compare when bExactCase, else the file-name
  // compare), then a scan with "/" read as "\". 0 found, 5 not found.
  int LocateFile(const wchar_t* pszName, int bExactCase);

  // Checks the current entry's local header and prepares reading it; an
  // entry still open is closed first. 0, 3, 4, 5 or 14.
  int OpenCurrentFileInZip();
  // Up to nSize bytes of the open entry's data into pBuffer; *pnProduced
  // (may be null) gets the count, 0 at the end. False when no entry is open
  // or on a read, decryption-input or inflate failure.
  bool bReadCurrentFileInZip(void* pBuffer, unsigned nSize, unsigned* pnProduced);
  // Ends reading: 13 when every byte was read and its CRC-32 differs from
  // the stored one, else 0. Callers pass 1; the check is made whatever the
  // value. Nothing to do (0) when no entry is open.
  int CloseCurrentFileInZip(int nCheck = 1);
  // True while an entry is open.
  bool bIsCurrentFileOpen() const { return m_bFichierOuvert; }

  // The password of the decryption (and encryption). Null clears it (true);
  // a password holding a character below 1 is cleared and refused (false).
  bool bSetPassword(const wchar_t* pszPassword);
  // The password; empty text when none.
  const wchar_t* pszGetPassword() const;

  // Extension of a volume of a spanned archive: volume -1 is the current
  // entry's disk (".zip" for the disk holding the central directory, else
  // ".z%02d" with disk + 1); a volume below the central directory's disk
  // gives ".z%02d" with volume + 1; any other ".zip". Valid until the next
  // call.
  const wchar_t* CurrentFile_szExtZip(int nVolume);

  // ---- Access by index (facade and installer) ------------------------------
  // Entries in the table.
  int nGetNbEntries() const;
  // Entry nIndex (0-based) becomes current: 0, or 1002 when out of range
  // (nothing changes then).
  int GoToEntry(int nIndex);
  // 0-based index of the current entry, -1 when none.
  int nGetCurrentIndex() const;
  // The current entry (owned by the engine, valid until the next OuvreZip),
  // null when none.
  const _stFICZIP* pstGetCurrentFile() const;
  // Entry nIndex, null out of range.
  const _stFICZIP* pstGetFile(int nIndex) const;

  // ---- Archive values --------------------------------------------------------
  const wchar_t* pszGetPath() const { return m_sPath.pszGet(); }
  // Archive comment, converted from code page 1252.
  const wchar_t* pszGetComment() const { return m_sComment.pszGet(); }
  // Total entries the end records declare.
  std::uint64_t llGetTotalEntries() const { return m_llTotalEntries; }
  // Disk holding the central directory (the last volume's number).
  unsigned nGetCentralDirDisk() const { return m_nDiskCentralDir; }
  // Bytes before the archive in the file (a stub).
  std::uint64_t llGetBaseOffset() const { return m_llBaseOffset; }

  // ---- Flags used by the facade (writer side) ----------------------------
  void SetCompressionLevel(int nLevel) { m_nCompressionLevel = nLevel; }
  int nGetCompressionLevel() const { return m_nCompressionLevel; }
  // Write ZIP64 blocks in every header.
  void SetZip64Headers(bool bOn) { m_bZip64Headers = bOn; }
  bool bGetZip64Headers() const { return m_bZip64Headers; }
  // Write names as UTF-8 (bit 11).
  void SetUnicodeNames(bool bOn) { m_bUnicodeNames = bOn; }
  bool bGetUnicodeNames() const { return m_bUnicodeNames; }
  // Convert names between ANSI and OEM (set to 1 by every initialisation).
  void SetForeignNames(bool bOn) { m_bForeignNames = bOn; }
  bool bGetForeignNames() const { return m_bForeignNames; }

  // ---- Traditional encryption -----------------------------------------------
  // Keys from the password (each character taken as its low byte).
  void CryptInitKeys();
  // Decrypts nSize bytes in place, updating the keys.
  void CryptDecrypt(unsigned char* pbyBuffer, unsigned nSize);
  // Encrypts nSize bytes in place, updating the keys.
  void CryptEncrypt(unsigned char* pbyBuffer, unsigned nSize);
  // Keys from the password, then decrypts a copy of the 12-byte header:
  // true when its last byte equals the check byte (the keys are then ready
  // for the data).
  bool bCryptCheckHeader(const unsigned char abyHeader[12], unsigned char byCheck);
  // Writer side: keys from the password, then 10 random bytes (rand seeded
  // with the tick count) and bytes 16-23 and 24-31 of dwCheck, encrypted
  // into abyHeader; the keys are then ready for the data.
  void CryptMakeHeader(unsigned char abyHeader[12], std::uint32_t dwCheck);
  // The check byte of an entry: the high byte of the DOS time when flag
  // bit 3 is set, else the high byte of the CRC-32.
  static unsigned char byCryptCheckByte(const _stFICZIP& stFile);

  // ---- Writer-side helpers -----------------------------------------------
  // DOS date-time from calendar fields (month counted from 0).
  static std::uint32_t dwDosDateTime(int nYear, int nMonth0, int nDay, int nHours, int nMinutes,
                                     int nSeconds);
  // DOS date-time of a time taken as local time; 0 for a negative time or
  // one that does not convert.
  static std::uint32_t dwDosDateTimeFromTime(std::time_t tTime);
  // DOS date-time of a file's modification time; 0 when it cannot be read.
  static std::uint32_t dwFileDosDateTime(const wchar_t* pszPath);
  // Whether a ZIP64 block goes with an entry: a size or the offset above
  // 0xFFFFFFFF, or 64-bit headers asked for.
  bool bNeedsZip64(const _stFICZIP& stFile) const;
  // Local header size: 30 + name + 20 with a ZIP64 block + 12 when encrypted.
  std::uint64_t llLocalHeaderSize(const _stFICZIP& stFile) const;
  // Central header size: 46 + name + extra + comment, + 28 when a ZIP64
  // block goes with it (the entry's extra is taken as not holding one).
  std::uint64_t llCentralHeaderSize(const _stFICZIP& stFile) const;
  // Names between ANSI (1252) and OEM (437), in place, when the foreign-names
  // flag is set; byte 0x80 is kept as it is.
  void AnsiToOem(char* pszName, unsigned nSize) const;
  void OemToAnsi(char* pszName, unsigned nSize) const;

 private:
  // Step 1 of OuvreZip: every value cleared, entries freed, flags reset.
  void _Init();
  // Frees the entries' blocks and empties the table and the index.
  void _FreeEntries();
  // Reads n bytes at an absolute position of a stream: false on a failed
  // seek, a short read or a position beyond 63 bits.
  static bool _bReadAt(IXStream* pStream, std::uint64_t llPosition, void* pBuffer, unsigned nSize);
  // End-record search through pStream: 0 and *pllPosition, or 3.
  static int _SearchCentralDir(IXStream* pStream, std::uint64_t* pllPosition);
  // The end record at m_llEndRecordPosition, its comment, the ZIP64
  // records when a classic field is saturated or a ZIP64 locator precedes
  // the end record (their values must agree with the classic ones that are
  // not saturated), the base offset: 0, 3 or 5.
  int _ReadEndRecords();
  // ZIP64 locator and end record before the end record: 0 with the values
  // in the out-parameters, else 3 or 5 (nothing taken).
  int _nReadZip64(std::uint64_t* pllEntriesThisDisk, std::uint64_t* pllTotal,
                  std::uint64_t* pllSize, std::uint64_t* pllOffset, std::uint64_t* pllEndPosition);
  // Every central header into the table and the index: 0 or 3.
  int _ChargeRepertoire();
  // The central header at m_llCentralPosition into *pstFile (its blocks
  // then belong to the caller) and its full size: true, or false when the
  // header is unreadable (nothing allocated then).
  bool _bGetInfoFile(_stFICZIP* pstFile, std::uint64_t* pllHeaderSize);
  // Local header of the current entry against its central header: 0, 3 or
  // 5; on 0 the data start is in *pllDataStart.
  int _CheckCurrentFileCoherencyHeader(std::uint64_t* pllDataStart);
  // Name bytes to wide text (UTF-8 or code page 437) in pszOut (261
  // characters): false when the bytes hold a NUL, do not convert or give
  // more than 260 characters.
  static bool _bConvertName(const unsigned char* pbyName, unsigned nLength, bool bUtf8,
                            wchar_t* pszOut);
  // Appends one entry to the table and the index: false (entry freed) when
  // memory is refused.
  bool _bAjouteEntree(_stFICZIP* pstFile);
  // Frees the blocks an entry owns (not the shared empty comment).
  static void _FreeEntryBlocks(_stFICZIP* pstFile);
  // The comment of every entry without one.
  static const wchar_t s_szVide[1];
  void _UpdateKeys(unsigned char c);
  unsigned char _byKeyByte() const;
  // First entry in table order equal to pszName (exact or file-name
  // compare); -1 when none.
  int _nLocateScan(const wchar_t* pszName, int bExactCase) const;

  IXStream* m_pStream = nullptr;

  // Fixed-size records are read here in one piece and decoded field by
  // field.
  unsigned char m_abyHeader[1024];

  // End-of-central-directory values.
  unsigned m_nDisk = 0;
  unsigned m_nDiskCentralDir = 0;
  std::uint64_t m_llEntriesThisDisk = 0;
  std::uint64_t m_llTotalEntries = 0;
  std::uint64_t m_llCentralDirSize = 0;
  std::uint64_t m_llCentralDirOffset = 0;
  unsigned m_nCommentLength = 0;
  CTString m_sComment;

  std::uint64_t m_llEndRecordPosition = 0;
  std::uint64_t m_llBaseOffset = 0;
  std::uint64_t m_llCentralPosition = 0;
  std::uint64_t m_llFirstCentralPosition = 0;
  // Counts were clamped to 0xFFFF without ZIP64 records: the directory is
  // read on while headers follow inside it.
  bool m_bReadOn = false;

  CTString m_sPassword;
  std::uint32_t m_adwKeys[3] = {0, 0, 0};

  CTTableau<_stFICZIP> m_tabFichiers;
  CTemplateHashTable<CXYString<wchar_t>, int, CHashCompStringI> m_hashNoms;
  // False once an entry could not be indexed: lookups then scan the table.
  bool m_bHashOk = true;

  int m_nCurrent = -1;  // 0-based index of the current entry, -1 none

  bool m_bForeignNames = true;
  int m_nCompressionLevel = 6;
  bool m_bZip64Headers = false;
  bool m_bUnicodeNames = false;

  // Read state of the open entry.
  unsigned char* m_pbyReadBuffer = nullptr;
  void* m_pZStream = nullptr;  // z_stream, made on first use
  std::uint32_t m_dwCrc = 0;
  std::uint32_t m_dwCrcExpected = 0;
  std::uint64_t m_llRemainingCompressed = 0;
  std::uint64_t m_llRemainingUncompressed = 0;
  std::uint64_t m_llConsumed = 0;
  unsigned m_nInputAvailable = 0;
  unsigned m_nInputOffset = 0;
  int m_nMethod = 0;
  bool m_bCrypted = false;
  std::uint64_t m_llDataStart = 0;
  std::uint64_t m_llLocalExtraPosition = 0;
  unsigned m_nLocalExtraLength = 0;
  bool m_bInflateInit = false;
  bool m_bFichierOuvert = false;
  bool m_bStreamEnded = false;

  CTString m_sCurrentName;
  CTString m_sPath;
  CTString m_sExtZip;
};
