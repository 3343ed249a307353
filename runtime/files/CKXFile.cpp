#include "CKXFile.h"

#include "LittleEndian.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "CDiskFile.h"
#include "CXError.h"
#include "MyModuleInfo.h"

namespace {

// Messages of the header checks.
constexpr unsigned knMsgNotWritten = 28009;
constexpr unsigned knMsgTooShort = 28011;
constexpr unsigned knMsgWrongType = 28259;
constexpr unsigned knMsgWrongSignature = 28555;

// What the product version reads as in the wrong-signature message.
constexpr wchar_t kszVersionProduit[] = L"20.0";

// Fill of a header record before a read: bytes the file did not give stay so.
constexpr std::uint8_t kbyUnread = 0xCD;

// A disk file stream held for the length of one static call.
class CTempDiskFile {
 public:
  CTempDiskFile() : m_piStream(new (std::nothrow) CDiskFile()) {
    if (m_piStream != nullptr) m_piStream->dwAddRef();
  }
  CTempDiskFile(const CTempDiskFile&) = delete;
  CTempDiskFile& operator=(const CTempDiskFile&) = delete;
  ~CTempDiskFile() {
    if (m_piStream != nullptr) m_piStream->dwRelease();
  }
  IXStream* piGet() const { return m_piStream; }

 private:
  IXStream* m_piStream;
};

}  // namespace

std::uint8_t CKXFile::ms_byCodeProduitCourant = 0;

CKXFile::CKXFile(std::uint32_t dwIdFichier)
    : CXFile(),
      m_dwIdFichier(dwIdFichier),
      m_byCodeProduit(0),
      m_byVersion(0),
      m_wReserve12(0),
      m_dwTailleEntete(0),
      m_wFormat(0),
      m_wReserve(0) {}

CKXFile::~CKXFile() = default;

void CKXFile::s_EncodeEntete(const _stENTETE_FICHIER_KORVEX& stHeader,
                             std::uint8_t (&abyDisk)[knTailleEntete]) {
  kx_le::Put32(abyDisk + 0, stHeader.dwSignature);
  kx_le::Put32(abyDisk + 4, stHeader.dwTailleEntete);
  kx_le::Put32(abyDisk + 8, stHeader.dwIdFichier);
  kx_le::Put16(abyDisk + 12, stHeader.wReserve12);
  abyDisk[14] = stHeader.byVersion;
  abyDisk[15] = stHeader.byCodeProduit;
  kx_le::Put16(abyDisk + 16, stHeader.wFormat);
  kx_le::Put16(abyDisk + 18, stHeader.wReserve);
}

void CKXFile::s_DecodeEntete(const std::uint8_t (&abyDisk)[knTailleEntete],
                             _stENTETE_FICHIER_KORVEX& stHeader) {
  stHeader.dwSignature = kx_le::Get32(abyDisk + 0);
  stHeader.dwTailleEntete = kx_le::Get32(abyDisk + 4);
  stHeader.dwIdFichier = kx_le::Get32(abyDisk + 8);
  stHeader.wReserve12 = kx_le::Get16(abyDisk + 12);
  stHeader.byVersion = abyDisk[14];
  stHeader.byCodeProduit = abyDisk[15];
  stHeader.wFormat = kx_le::Get16(abyDisk + 16);
  stHeader.wReserve = kx_le::Get16(abyDisk + 18);
}

bool CKXFile::bOpen(const wchar_t* name, eFORMAT eFormat, eACCESS eAccess, eSHARE eShare,
                    eCREATE eCreate, eFLAG eFlag) {
  return bOpenEx(name, eFormat, eAccess, eShare, eCreate, eFlag, 0);
}

bool CKXFile::bOpenEx(const wchar_t* name, eFORMAT eFormat, eACCESS eAccess, eSHARE eShare,
                      eCREATE eCreate, eFLAG eFlag, int bForceHeader) {
  int bCreated = 0;
  if (!CXFile::bOpen(name, eAccess, eShare, eCreate, eFlag, &bCreated)) return false;
  // An open-or-create of an existing file leaves errno at EEXIST.
  const int nErrno = errno;
  const bool bWrite = eCreate == XCREATE_TRUNCATE ||
                      (eCreate == XCREATE_OPENORCREATE && (bCreated != 0 || nErrno != EEXIST)) ||
                      bForceHeader != 0;
  return _bHeaderAfterOpen(bWrite, eFormat);
}

bool CKXFile::bReopen(eFORMAT eFormat, eACCESS eAccess, eSHARE eShare, eCREATE eCreate,
                      eFLAG eFlag) {
  if (!CXFile::bReopen(eAccess, eShare, eCreate, eFlag)) return false;
  const int nErrno = errno;
  const bool bWrite = eCreate == XCREATE_TRUNCATE ||
                      (eCreate == XCREATE_OPENORCREATE && nErrno != EEXIST);
  return _bHeaderAfterOpen(bWrite, eFormat);
}

bool CKXFile::_bHeaderAfterOpen(bool bWrite, eFORMAT eFormat) {
  std::int64_t oOffset = 0;
  bool bOk;
  if (bWrite) {
    m_wFormat = eFormat;
    bOk = bWriteHeader(&oOffset);
  } else {
    bOk = bReadHeader(&oOffset);
  }
  if (!bOk) Close();
  return bOk;
}

bool CKXFile::bWriteHeader(std::int64_t* pOffset) {
  _stENTETE_FICHIER_KORVEX stHeader;
  return bWriteHeaderEx(pOffset, &stHeader);
}

bool CKXFile::bWriteHeaderEx(std::int64_t* pOffset, _stENTETE_FICHIER_KORVEX* pstHeader) {
  if (m_dwIdFichier == kdwIdFamille) m_dwIdFichier = 2;
  m_dwTailleEntete = knTailleEntete;
  m_wReserve12 = 0;
  m_byVersion = kbyVersionProduit;
  m_byCodeProduit = ms_byCodeProduitCourant;
  m_wReserve = 0;

  _stENTETE_FICHIER_KORVEX stLocal;
  _stENTETE_FICHIER_KORVEX& stHeader = pstHeader != nullptr ? *pstHeader : stLocal;
  stHeader.dwSignature = kdwSignature;
  stHeader.dwTailleEntete = m_dwTailleEntete;
  stHeader.dwIdFichier = m_dwIdFichier;
  stHeader.wReserve12 = m_wReserve12;
  stHeader.byVersion = m_byVersion;
  stHeader.byCodeProduit = m_byCodeProduit;
  stHeader.wFormat = m_wFormat;
  stHeader.wReserve = m_wReserve;

  std::uint8_t abyDisk[knTailleEntete];
  s_EncodeEntete(stHeader, abyDisk);
  const std::int64_t oOffset = pOffset != nullptr ? *pOffset : 0;
  if (!bSeek(oOffset, XSEEK_BEGIN)) return false;
  unsigned nWritten = 0;
  if (!bWrite(abyDisk, knTailleEntete, &nWritten)) return false;
  if (nWritten < knTailleEntete) {
    _ReportHeaderError(knMsgNotWritten, L"##(IXStream)-A ecrire=<%u>, ecrit=<%u>##",
                       knTailleEntete, nWritten);
    return false;
  }
  if (pOffset != nullptr) *pOffset = oOffset + knTailleEntete;
  return true;
}

bool CKXFile::bReadHeader(std::int64_t* pOffset) {
  std::uint8_t abyDisk[knTailleEntete];
  std::memset(abyDisk, kbyUnread, sizeof abyDisk);
  const std::int64_t oOffset = pOffset != nullptr ? *pOffset : 0;
  if (!bSeek(oOffset, XSEEK_BEGIN)) return false;
  unsigned nRead = 0;
  if (!bRead(abyDisk, knTailleEntete, &nRead)) return false;

  _stENTETE_FICHIER_KORVEX stHeader;
  s_DecodeEntete(abyDisk, stHeader);
  if (stHeader.dwSignature != kdwSignature) {
    _ReportHeaderError(knMsgWrongSignature,
                       L"##(CKXFile)-Signature geree=<%u>, signature lue=<%u>##", kdwSignature,
                       stHeader.dwSignature);
    return false;
  }
  // A file cut inside its header: the fields past its end are not the
  // file's.
  if (nRead < knTailleEntete) {
    _ReportHeaderError(knMsgTooShort,
                       L"##(CKXFile)-Taille entete attendue=<%u>, Taille entete lue=<%u>##",
                       knTailleEntete, nRead);
    return false;
  }

  m_byCodeProduit = stHeader.byCodeProduit;
  m_byVersion = stHeader.byVersion;
  m_wReserve12 = stHeader.wReserve12;
  m_wFormat = stHeader.wFormat;
  m_wReserve = stHeader.wReserve;
  m_dwTailleEntete = stHeader.dwTailleEntete;

  const std::uint32_t dwType = stHeader.dwIdFichier;
  if (m_dwIdFichier == 0) {
    m_dwIdFichier = dwType;
  } else if (m_dwIdFichier == kdwIdFamille &&
             (dwType == 2 || dwType == 8 || dwType == 258 || dwType == 259)) {
    m_dwIdFichier = dwType;
  } else if (m_dwIdFichier != dwType) {
    _ReportHeaderError(knMsgWrongType, L"##(CKXFile)-Type demande=<%u>, type lu=<%u>##",
                       m_dwIdFichier, dwType);
    return false;
  }

  if (m_dwTailleEntete < knTailleEntete) {
    _ReportHeaderError(knMsgTooShort,
                       L"##(CKXFile)-Taille entete attendue=<%u>, Taille entete lue=<%u>##",
                       knTailleEntete, m_dwTailleEntete);
    return false;
  }
  if (pOffset != nullptr) *pOffset = oOffset + m_dwTailleEntete;
  return true;
}

void CKXFile::_ReportHeaderError(unsigned nMessage, const wchar_t* pszDebugFormat,
                                 unsigned nValue1, unsigned nValue2) {
  CXError* pclError = pclGetXError();
  if (pclError == nullptr) return;
  const wchar_t* pszName = pszGetName();
  if (pszName == nullptr) pszName = L"";
  pclError->SetErrorLevel(ERRORLEVEL_ERROR);
  pclError->SetSystemErrorParam(0);
  pclError->AddDebugMessagePrintf(pszDebugFormat, nValue1, nValue2);
  if (nMessage == knMsgWrongSignature) {
    pclError->AddUserMessageFirst(&gstMyModuleInfo76, nMessage, kszVersionProduit, pszName);
  } else {
    pclError->AddUserMessageFirst(&gstMyModuleInfo76, nMessage, pszName);
  }
  pclError->AddInfo(EIT_SRCFILE, pszName);
}

std::uint32_t CKXFile::dwIdFichierInconnu(IXStream* piStream, const wchar_t* name) {
  if (piStream == nullptr) return 0xFFFFFFFFu;
  if (name != nullptr &&
      !piStream->bOpen(name, XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr)) {
    return 0xFFFFFFFFu;
  }
  std::uint8_t abyDisk[knTailleEntete];
  std::memset(abyDisk, kbyUnread, sizeof abyDisk);
  if (!piStream->bRead(0, abyDisk, knTailleEntete, nullptr)) return 0;
  _stENTETE_FICHIER_KORVEX stHeader;
  s_DecodeEntete(abyDisk, stHeader);
  if (stHeader.dwSignature != kdwSignature) return 0;
  return stHeader.dwIdFichier;
}

std::uint32_t CKXFile::dwIdFichierInconnu(const wchar_t* name) {
  CTempDiskFile clStream;
  if (clStream.piGet() == nullptr) return 0xFFFFFFFFu;
  return dwIdFichierInconnu(clStream.piGet(), name);
}

std::uint8_t CKXFile::byGetCodeProduit(const wchar_t* name) {
  if (name == nullptr || !CDiskFile::bExist(name)) return 0;
  CTempDiskFile clStream;
  IXStream* piStream = clStream.piGet();
  if (piStream == nullptr ||
      !piStream->bOpen(name, XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr)) {
    return 0;
  }
  std::uint8_t abyDisk[knTailleEntete];
  if (!piStream->bRead(0, abyDisk, knTailleEntete, nullptr)) return 0;
  return abyDisk[15];
}

bool CKXFile::bIdReconnu(std::uint32_t dwId) {
  struct STRange {
    std::uint32_t dwFirst;
    std::uint32_t dwLast;
  };
  static const STRange kastKnown[] = {
      {1, 0x10007},         {0x60001, 0x60001},   {0x70001, 0x70006},   {0x80001, 0x80002},
      {0xA0001, 0xA0001},   {0xB0001, 0xB0005},   {0xC0001, 0xC0005},   {0xD0001, 0xD0004},
      {0xE0001, 0xE0003},   {0xF0001, 0xF0002},   {0x100001, 0x100002}, {0x110001, 0x110005},
      {0x120001, 0x120001}, {0x130001, 0x130001}, {0x160001, 0x160001},
  };
  for (const STRange& st : kastKnown) {
    if (dwId >= st.dwFirst && dwId <= st.dwLast) return true;
  }
  return false;
}

bool CKXFile::s_bIsProjet(std::uint32_t dwId) {
  return dwId == 1 || dwId == 0x101 || dwId == 0x1001 || dwId == 0x10001;
}

const wchar_t* CKXFile::s_pszVerNomProduit(std::uint8_t byCode) {
  switch (byCode) {
    case 6:
      return L"Quenlor";
    case 15:
      return L"Ambrel";
    case 20:
      return L"Dosmire";
    case 30:
      return L"Siltra";
    default:
      return L"Korvex";
  }
}
