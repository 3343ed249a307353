// The readable text of a CXError: its parts in a fixed order, each caption a
// message of this library's module, and the one-line texts of its
// information items.

#include <cstdarg>
#include <cstdint>

#include "CXError.h"
#include "DllResources.h"

namespace {

constexpr wchar_t kszFinLigne[] = L"\r\n";

// Caption identifiers (messages of gstMyModuleInfo76).
enum : unsigned int {
  IDS_CONTEXT = 28844,          // ()
  IDS_CONTEXT_LINE = 28845,     // (caption, object part, line, thread)
  IDS_CONTEXT_NOLINE = 25770,   // (caption, object part, thread)
  IDS_FUNCTION = 28846,         // (function name, syntax)
  IDS_USERMESSAGE = 28857,      // ()
  IDS_NO_USERMESSAGE = 28858,   // ()
  IDS_USERCODE = 28851,         // (user error code)
  IDS_LEVEL_1 = 28847,          // ()
  IDS_LEVEL_2 = 28848,          // ()
  IDS_LEVEL_3 = 28849,          // ()
  IDS_LEVEL_EXT = 25311,        // ()
  IDS_LEVEL_OTHER = 28850,      // (level)
  IDS_USERCODE55 = 28852,       // (second user code)
  IDS_SYSTEMCODE = 28853,       // (system code)
  IDS_NO_SYSTEMCODE = 28854,    // ()
  IDS_SYSTEMMESSAGE = 28855,    // ()
  IDS_NO_SYSTEMMESSAGE = 28856, // ()
  IDS_MODULE = 28842,           // (module name, module version)
  IDS_NO_MODULE = 28843,        // ()
  IDS_DETAIL = 28863,           // (detail id)
  IDS_NO_DETAIL = 28864,        // ()
  IDS_DEBUGMESSAGE = 28859,     // ()
  IDS_NO_DEBUGMESSAGE = 28860,  // ()
  IDS_INFO = 28861,             // ()
  IDS_NO_INFO = 28862,          // ()
  IDS_SUBERROR = 28865,         // (sub-error number from 1)
};

// The line of a treatment that has no line number.
constexpr std::uint16_t kwNoLine = 65535;

// Appends caption `nId` formatted with the arguments (nothing when the
// message has no text).
void AddCaption(CTString& clOut, unsigned int nId, ...) {
  CTString clCaption;
  va_list args;
  va_start(args, nId);
  DLLRES_bFormatMessageList(&gstMyModuleInfo76, nId, &clCaption, args);
  va_end(args);
  clOut.Add(clCaption.pszGet());
}

// The dump's running state: where it writes, which parts, and whether the
// next part starts with a separating line end.
struct stDump {
  CTString& clOut;
  bool bOnlyPresent;
  bool bSeparator = false;

  void Separate() {
    if (bSeparator) clOut.Add(kszFinLigne);
  }
  void Line(const wchar_t* pszText) {
    clOut.Add(pszText);
    clOut.Add(kszFinLigne);
  }
};

bool bPresent(const wchar_t* psz) { return psz != nullptr && psz[0] != 0; }

unsigned int nLevelCaption(std::uint32_t nLevel) {
  switch (nLevel) {
    case 1:
      return IDS_LEVEL_1;
    case 2:
      return IDS_LEVEL_2;
    case 3:
    case 0x40000004:
    case 0x40000008:
      return IDS_LEVEL_3;
    case 0x10001:
    case 0x10002:
    case 0x10003:
    case 0x10004:
    case 0x10005:
    case 0x10006:
    case 0x20001:
      return IDS_LEVEL_EXT;
    default:
      return IDS_LEVEL_OTHER;
  }
}

// Line formats of the information items by type; null: the type has no
// line.
enum eVALUEKIND { VK_NONE, VK_STRING, VK_INT32, VK_INT64, VK_POINTER, VK_NOVALUE };

struct stItemFormat {
  const wchar_t* pszFormat;
  eVALUEKIND eKind;
};

stItemFormat stGetItemFormat(std::uint32_t nType) {
  switch (nType) {
    case EIT_SRCFILE: return {L"EIT_SRCFILE : <%s>", VK_STRING};
    case EIT_DSTFILE: return {L"EIT_DSTFILE : <%s>", VK_STRING};
    case EIT_USERNAME: return {L"EIT_USERNAME : <%s>", VK_STRING};
    case EIT_HELPFILE: return {L"EIT_HELPFILE : <%s>", VK_STRING};
    case EIT_PATHKXD: return {L"EIT_PATHKXD : <%s>", VK_STRING};
    case EIT_LOGICALTABLENAME: return {L"EIT_LOGICALTABLENAME : <%s>", VK_STRING};
    case EIT_ITEMNAME: return {L"EIT_ITEMNAME : <%s>", VK_STRING};
    case EIT_PATHFIC: return {L"EIT_PATHFIC : <%s>", VK_STRING};
    case EIT_PATHNDX: return {L"EIT_PATHNDX : <%s>", VK_STRING};
    case EIT_PATHMMO: return {L"EIT_PATHMMO : <%s>", VK_STRING};
    case EIT_LINKNAME: return {L"EIT_LINKNAME : <%s>", VK_STRING};
    case EIT_RECNUM: return {L"EIT_RECNUM : <%lld>", VK_INT64};
    case EIT_ODBCCODE: return {L"EIT_ODBCCODE : <%s>", VK_STRING};
    case EIT_ODBCDESCRIPTION: return {L"EIT_ODBCDESCRIPTION : <%s>", VK_STRING};
    case EIT_BASECODE: return {L"EIT_BASECODE : <%d>", VK_INT32};
    case EIT_NATIVECODE: return {L"EIT_NATIVECODE : <%d>", VK_INT32};
    case EIT_ADOCODE: return {L"EIT_ADOCODE : <%d>", VK_INT32};
    case EIT_BASEMESSAGE: return {L"EIT_BASEMESSAGE : <%s>", VK_STRING};
    case EIT_NATIVEMESSAGE: return {L"EIT_NATIVEMESSAGE : <%s>", VK_STRING};
    case EIT_ADOMESSAGE: return {L"EIT_ADOMESSAGE : <%s>", VK_STRING};
    case EIT_DATAACCESS: return {L"EIT_DATAACCESS : <%p>", VK_POINTER};
    case EIT_INFOCLIENT: return {L"EIT_INFOCLIENT : <%s>", VK_STRING};
    case EIT_INFOSERVEUR: return {L"EIT_INFOSERVEUR : <%s>", VK_STRING};
    case EIT_PILETN: return {L"EIT_PILETN :\r\n%s", VK_STRING};
    case EIT_DATEHEURE: return {L"EIT_DATEHEURE : %s", VK_STRING};
    case EIT_LOCKINFO: return {L"EIT_LOCKINFO : %s", VK_STRING};
    case EIT_CORRIGE_ETAT: return {L"EIT_CORRIGE_ETAT : %s", VK_STRING};
    case EIT_INFOCS: return {L"EIT_INFOCS : <%s>", VK_STRING};
    case EIT_XINFO: return {L"EIT_XINFO : <%d>", VK_INT32};
    case EIT_COMPOSANT: return {L"EIT_COMPOSANT :\r\n%s", VK_STRING};
    case EIT_SERVEURCS: return {L"EIT_SERVEURCS : <%s>", VK_STRING};
    case EIT_PILEC: return {L"EIT_PILEC :\r\n%s", VK_STRING};
    case EIT_HLOCKTIME: return {L"EIT_HLOCKTIME : <%lld>", VK_INT64};
    case EIT_HCNXID: return {L"EIT_HCNXID : <%d>", VK_INT32};
    case EIT_EXCEPTIONDOTNET: return {L"EIT_EXCEPTIONDOTNET", VK_NOVALUE};
    case EIT_POSITION_ERREUR: return {L"EIT_POSITION_ERREUR : <%s>", VK_STRING};
    default: return {nullptr, VK_NONE};
  }
}

// The value of a stored item in the form __DumpInfo takes.
const void* pDumpValue(const CXError::_stERRORINFO& stItem) {
  switch (stGetItemFormat(stItem.nType).eKind) {
    case VK_INT32:
      return reinterpret_cast<const void*>(static_cast<std::intptr_t>(stItem.nValue));
    case VK_INT64:
      return &stItem.llValue;
    default:
      return stItem.pValue;
  }
}

}  // namespace

void CXError::__DumpInfo(eERRORINFOTYPE eType, const void* pValue, CTString& clLine,
                         int bForce) const {
  clLine.Vide();
  const stItemFormat stFormat = stGetItemFormat(eType);
  switch (stFormat.eKind) {
    case VK_NONE:
      return;
    case VK_STRING: {
      const wchar_t* pszValue = static_cast<const wchar_t*>(pValue);
      if (!bPresent(pszValue)) {
        if (!bForce) return;
        pszValue = L"";
      }
      clLine.printf(stFormat.pszFormat, pszValue);
      return;
    }
    case VK_INT32:
      clLine.printf(stFormat.pszFormat,
                    static_cast<int>(reinterpret_cast<std::intptr_t>(pValue)));
      return;
    case VK_INT64:
      // Nothing to read behind a null pointer.
      if (pValue == nullptr) return;
      clLine.printf(stFormat.pszFormat,
                    static_cast<long long>(*static_cast<const std::int64_t*>(pValue)));
      return;
    case VK_POINTER:
      clLine.printf(stFormat.pszFormat, pValue);
      return;
    case VK_NOVALUE:
      clLine.Set(stFormat.pszFormat);
      return;
  }
}

void CXError::DumpInfo(eERRORINFOTYPE eType, const void* pValue, CTString* pclOut) const {
  if (pclOut == nullptr) return;
  CTString clLine;
  __DumpInfo(eType, pValue, clLine, 1);
  pclOut->Add(clLine.pszGet());
}

CTString CXError::StringDump(eXERROR_INFO eParts) const {
  CTString clOut;
  StringDump(clOut, eParts);
  return clOut;
}

void CXError::StringDump(CTString* pclOut, eXERROR_INFO eParts) const {
  if (pclOut != nullptr) StringDump(*pclOut, eParts);
}

void CXError::StringDump(CTString& clOut, eXERROR_INFO eParts) const {
  stDump d{clOut, (eParts & XEI_ONLYPRESENT) != 0};
  auto bWants = [eParts](std::uint32_t nPart) { return (eParts & nPart) != 0; };

  // 1. Context: the running treatment and function.
  if (bWants(XEI_CONTEXT) && (bPresent(m_pszFunctionName) || bPresent(m_pszTraitmentCaption))) {
    AddCaption(clOut, IDS_CONTEXT);
    clOut.Add(kszFinLigne);
    if (bPresent(m_pszTraitmentCaption)) {
      CTString clObject;
      if (bPresent(m_pszObjectName)) clObject.Add(L" (", m_pszObjectName, L")");
      if (m_wTraitmentLine == kwNoLine) {
        AddCaption(clOut, IDS_CONTEXT_NOLINE, m_pszTraitmentCaption, clObject.pszGet(),
                   static_cast<int>(m_wTraitmentThread));
      } else {
        AddCaption(clOut, IDS_CONTEXT_LINE, m_pszTraitmentCaption, clObject.pszGet(),
                   static_cast<int>(m_wTraitmentLine), static_cast<int>(m_wTraitmentThread));
      }
      clOut.Add(kszFinLigne);
    }
    if (bPresent(m_pszFunctionName)) {
      AddCaption(clOut, IDS_FUNCTION, m_pszFunctionName, static_cast<int>(m_byFunctionSyntax));
      clOut.Add(kszFinLigne);
    }
    d.bSeparator = true;
  }

  // 2. User message.
  if (bWants(XEI_USERMESSAGE)) {
    if (bPresent(m_pszUserMessage)) {
      d.Separate();
      if (!bWants(XEI_NOUSERTITLE)) {
        AddCaption(clOut, IDS_USERMESSAGE);
        clOut.Add(kszFinLigne);
      }
      d.Line(m_pszUserMessage);
      d.bSeparator = true;
    } else if (!d.bOnlyPresent) {
      d.Separate();
      AddCaption(clOut, IDS_NO_USERMESSAGE);
      clOut.Add(kszFinLigne);
      d.bSeparator = true;
    }
  }

  // 3. Codes: user code, level, second user code, one after the other.
  bool bGroupWritten = false;
  if (bWants(XEI_USERCODE)) {
    d.Separate();
    AddCaption(clOut, IDS_USERCODE, m_nUserErrorCode);
    clOut.Add(kszFinLigne);
    d.bSeparator = false;
    bGroupWritten = true;
  }
  if (bWants(XEI_LEVEL)) {
    d.Separate();
    const unsigned int nCaption = nLevelCaption(m_eLevel);
    if (nCaption == IDS_LEVEL_OTHER) {
      AddCaption(clOut, nCaption, static_cast<std::uint32_t>(m_eLevel));
    } else {
      AddCaption(clOut, nCaption);
    }
    clOut.Add(kszFinLigne);
    d.bSeparator = false;
    bGroupWritten = true;
  }
  if (bWants(XEI_USERCODE55) && (m_nUserErrorCode55 != 0 || !d.bOnlyPresent)) {
    d.Separate();
    AddCaption(clOut, IDS_USERCODE55, m_nUserErrorCode55);
    clOut.Add(kszFinLigne);
    d.bSeparator = false;
    bGroupWritten = true;
  }
  if (bGroupWritten) d.bSeparator = true;

  // 4. System error: code, then message (the message takes no line end).
  bool bCodeWritten = false;
  bool bMessageWritten = false;
  if (bWants(XEI_SYSTEMCODE) && (m_dwSystemErrorCode != 0 || !d.bOnlyPresent)) {
    d.Separate();
    if (m_dwSystemErrorCode != 0) {
      AddCaption(clOut, IDS_SYSTEMCODE, m_dwSystemErrorCode);
    } else {
      AddCaption(clOut, IDS_NO_SYSTEMCODE);
    }
    clOut.Add(kszFinLigne);
    d.bSeparator = false;
    bCodeWritten = true;
  }
  if (bWants(XEI_SYSTEMMESSAGE)) {
    if (bPresent(m_pszSystemErrorMessage)) {
      d.Separate();
      AddCaption(clOut, IDS_SYSTEMMESSAGE);
      clOut.Add(kszFinLigne);
      clOut.Add(m_pszSystemErrorMessage);
      d.bSeparator = true;
      bMessageWritten = true;
    } else if (!d.bOnlyPresent) {
      d.Separate();
      AddCaption(clOut, IDS_NO_SYSTEMMESSAGE);
      clOut.Add(kszFinLigne);
      d.bSeparator = true;
      bMessageWritten = true;
    }
  }
  if (bCodeWritten && !bMessageWritten) d.bSeparator = true;

  // 5. Module, detail id, debug message, one after the other.
  bool bModuleGroupWritten = false;
  if (bWants(XEI_MODULE) && (bPresent(m_pszModName) || !d.bOnlyPresent)) {
    d.Separate();
    if (bPresent(m_pszModName)) {
      AddCaption(clOut, IDS_MODULE, m_pszModName, pszGetModVersion());
    } else {
      AddCaption(clOut, IDS_NO_MODULE);
    }
    clOut.Add(kszFinLigne);
    d.bSeparator = false;
    bModuleGroupWritten = true;
  }
  if (bWants(XEI_DETAIL) && (m_nDetailId != 0 || !d.bOnlyPresent)) {
    d.Separate();
    if (m_nDetailId != 0) {
      AddCaption(clOut, IDS_DETAIL, m_nDetailId);
    } else {
      AddCaption(clOut, IDS_NO_DETAIL);
    }
    clOut.Add(kszFinLigne);
    d.bSeparator = false;
    bModuleGroupWritten = true;
  }
  if (bWants(XEI_DEBUGMESSAGE) && (bPresent(m_pszDebugMessage) || !d.bOnlyPresent)) {
    d.Separate();
    if (bPresent(m_pszDebugMessage)) {
      AddCaption(clOut, IDS_DEBUGMESSAGE);
      clOut.Add(kszFinLigne);
      d.Line(m_pszDebugMessage);
    } else {
      AddCaption(clOut, IDS_NO_DEBUGMESSAGE);
      clOut.Add(kszFinLigne);
    }
    d.bSeparator = false;
    bModuleGroupWritten = true;
  }

  // 6. Information items: the caption, then each item's line after a line
  // end (the last one takes none).
  const int nItems = m_tabInfo.nGetNbElements();
  if (bWants(XEI_INFO)) {
    if (nItems > 0) {
      d.Separate();
      AddCaption(clOut, IDS_INFO);
      CTString clLine;
      for (int i = 0; i < nItems; ++i) {
        const _stERRORINFO& stItem = m_tabInfo[i];
        __DumpInfo(static_cast<eERRORINFOTYPE>(stItem.nType), pDumpValue(stItem), clLine, 0);
        if (clLine.nTaille() == 0) continue;
        clOut.Add(kszFinLigne);
        clOut.Add(clLine.pszGet());
      }
      d.bSeparator = true;
    } else if (!d.bOnlyPresent) {
      d.Separate();
      AddCaption(clOut, IDS_NO_INFO);
      clOut.Add(kszFinLigne);
      d.bSeparator = true;
    }
  }
  if (bModuleGroupWritten) d.bSeparator = true;

  // 7. Sub-errors, each under a numbered heading, dumped with the same parts.
  const int nSubErrors = nGetNbSubError();
  if (bWants(XEI_SUBERROR) && nSubErrors > 0) {
    d.Separate();
    for (int i = 0; i < nSubErrors; ++i) {
      const CXError* pclSub = pclGetSubError(i);
      if (pclSub == nullptr) continue;
      clOut.Add(L"\r\n----- ");
      AddCaption(clOut, IDS_SUBERROR, i + 1);
      clOut.Add(L" -----\r\n\r\n");
      pclSub->StringDump(clOut, eParts);
      clOut.Add(kszFinLigne);
    }
  }
}
