// CKXFile: a file that begins with the product header.
//
// Files written by the platform's tools begin with a 20-byte header that
// names the kind of file (its type identifier), the product version and the
// product that wrote it. A CKXFile is a CXFile that writes this header when
// it creates a file and reads and checks it when it opens an existing one.
// Static functions read the type or product code of any file and name the
// products.
//
// Header on disk, 20 bytes, little-endian, read and written field by field:
//   0  u32  signature: "VLM" and a zero byte
//   4  u32  header size in bytes: 20 written; at least 20 on reading, and
//           the whole declared size is skipped (longer headers are accepted)
//   8  u32  file type identifier
//   12 u16  kept, written 0
//   14 u8   product version, written 20
//   15 u8   product code, written ms_byCodeProduitCourant
//   16 u16  file format (the eFORMAT given to the open that wrote it)
//   18 u16  reserved, written 0
//
// Failures are reported in the stream's error object (level 3, system error
// 0, the file name as EIT_SRCFILE and a user message in front): 28555 wrong
// signature, 28259 wrong type, 28011 header too short (declared size below
// 20, or fewer than 20 bytes in the file), 28009 header not written in full.
// A failing seek, read or write is reported by the stream itself.
//
// Virtual operations: those of CXFile, then bReadHeader, bWriteHeader,
// bWriteHeaderEx.
#pragma once

#include <cstdint>

#include "CXFile.h"

// The product header as a record in memory (see the layout above).
struct _stENTETE_FICHIER_KORVEX {
  std::uint32_t dwSignature;    // "VLM" and a zero byte, little-endian
  std::uint32_t dwTailleEntete;  // header size in bytes
  std::uint32_t dwIdFichier;     // file type identifier
  std::uint16_t wReserve12;      // the u16 at offset 12
  std::uint8_t byVersion;        // product version
  std::uint8_t byCodeProduit;    // product code
  std::uint16_t wFormat;         // file format
  std::uint16_t wReserve;        // reserved
};

// Format of a file, stored in its header when the header is written; its
// meaning belongs to each kind of file.
enum eFORMAT : std::uint16_t {
  XFORMAT_DEFAULT = 0,
};

class CKXFile : public CXFile {
 public:
  // Size of the header on disk.
  static constexpr std::uint32_t knTailleEntete = 20;
  // Signature value: 'V', 'L', 'M', 0 read as a little-endian u32.
  static constexpr std::uint32_t kdwSignature = 0x004D4C56u;
  // Product version written in every header.
  static constexpr std::uint8_t kbyVersionProduit = 20;
  // Type asked on reading that stands for the family 2, 8, 258 and 259; it
  // is written as 2.
  static constexpr std::uint32_t kdwIdFamille = 0x20001u;

  // The product code written in every new header (0 unless the program sets
  // it).
  static std::uint8_t ms_byCodeProduitCourant;

  // No stream; `dwIdFichier` is the type written in new headers and asked of
  // existing ones (0: any type, taken from the file).
  explicit CKXFile(std::uint32_t dwIdFichier = 0);
  ~CKXFile() override;

  // The stream forms without a header stay callable beside the header forms.
  using CXFile::bOpen;
  using CXFile::bReopen;

  // bOpenEx(..., bForceHeader = 0).
  bool bOpen(const wchar_t* name, eFORMAT eFormat, eACCESS eAccess, eSHARE eShare,
             eCREATE eCreate, eFLAG eFlag);
  // CXFile::bOpen (its failure is the result). Then the header is written at
  // offset 0 with the given format when the file is created or truncated
  // (create mode XCREATE_TRUNCATE; XCREATE_OPENORCREATE when the file was
  // created, or errno is not EEXIST after the open) or bForceHeader is set;
  // otherwise it is read at offset 0 with the virtual bReadHeader. When the
  // header fails the file is closed and the result is false.
  bool bOpenEx(const wchar_t* name, eFORMAT eFormat, eACCESS eAccess, eSHARE eShare,
               eCREATE eCreate, eFLAG eFlag, int bForceHeader);
  // CXFile::bReopen, then the header as bOpenEx does, deciding by the create
  // mode alone (XCREATE_TRUNCATE, or XCREATE_OPENORCREATE with errno other
  // than EEXIST, writes).
  bool bReopen(eFORMAT eFormat, eACCESS eAccess, eSHARE eShare, eCREATE eCreate, eFLAG eFlag);

  // Reads and checks the header standing at *pOffset and takes its values;
  // on success *pOffset is advanced by the declared header size. A type of 0
  // takes the file's; kdwIdFamille takes 2, 8, 258 or 259; any other must
  // equal the file's.
  virtual bool bReadHeader(std::int64_t* pOffset);
  // bWriteHeaderEx through a local record.
  virtual bool bWriteHeader(std::int64_t* pOffset);
  // Fills *pstHeader (when given) and this object with the header of this
  // object (kdwIdFamille becomes 2 in both) and writes it at *pOffset; on
  // success *pOffset is advanced by 20.
  virtual bool bWriteHeaderEx(std::int64_t* pOffset, _stENTETE_FICHIER_KORVEX* pstHeader);

  // Values of the last header read or written.
  std::uint32_t dwGetIdFichier() const { return m_dwIdFichier; }
  std::uint8_t byGetCodeProduit() const { return m_byCodeProduit; }
  std::uint8_t byGetVersion() const { return m_byVersion; }
  std::uint16_t wGetReserve12() const { return m_wReserve12; }
  std::uint32_t dwGetTailleEntete() const { return m_dwTailleEntete; }
  std::uint16_t wGetFormat() const { return m_wFormat; }
  std::uint16_t wGetReserve() const { return m_wReserve; }

  // Type identifier of a file: when `name` is given it is opened on
  // `piStream` for reading without a lock (0xFFFFFFFF when that fails, or
  // when there is no stream); then the first 20 bytes are read exactly at
  // offset 0. 0 when the read fails or the signature is wrong. The stream is
  // left as it is (open).
  static std::uint32_t dwIdFichierInconnu(IXStream* piStream, const wchar_t* name);
  // The same on a temporary disk file stream.
  static std::uint32_t dwIdFichierInconnu(const wchar_t* name);
  // Product code (byte 15) of a file, without checking the signature; 0
  // when the file does not exist, cannot be opened or has fewer than 20
  // bytes.
  static std::uint8_t byGetCodeProduit(const wchar_t* name);
  // Whether `dwId` is one of the known type identifiers.
  static bool bIdReconnu(std::uint32_t dwId);
  // Whether `dwId` is the type of a project (1, 0x101, 0x1001, 0x10001).
  static bool s_bIsProjet(std::uint32_t dwId);
  // Name of a product code: 6 "Quenlor", 15 "Ambrel", 20 "Dosmire",
  // 30 "Siltra", any other "Korvex". Static text.
  static const wchar_t* s_pszVerNomProduit(std::uint8_t byCode);

  // The 20 bytes of a header on disk, and back.
  static void s_EncodeEntete(const _stENTETE_FICHIER_KORVEX& stHeader,
                             std::uint8_t (&abyDisk)[knTailleEntete]);
  static void s_DecodeEntete(const std::uint8_t (&abyDisk)[knTailleEntete],
                             _stENTETE_FICHIER_KORVEX& stHeader);

 protected:
  // Level 3, system error 0, the debug line, the user message `nMessage`
  // (in front, with the file name; after "20.0" for 28555) and the file name
  // as EIT_SRCFILE, in the stream's error object.
  void _ReportHeaderError(unsigned nMessage, const wchar_t* pszDebugFormat, unsigned nValue1,
                          unsigned nValue2);
  // Writes or reads the header at offset 0 after an open; closes the file
  // when that fails.
  bool _bHeaderAfterOpen(bool bWrite, eFORMAT eFormat);

  std::uint32_t m_dwIdFichier;
  std::uint8_t m_byCodeProduit;
  std::uint8_t m_byVersion;
  std::uint16_t m_wReserve12;
  std::uint32_t m_dwTailleEntete;
  std::uint16_t m_wFormat;
  std::uint16_t m_wReserve;
};
