#include "MessageSignatures.h"

#include <fstream>
#include <sstream>

#include "FormatWin.h"

void ReadSignatureFile(const std::string& sPath, STSignatures& st) {
  std::ifstream in(sPath);
  if (!in) {
    st.sError = "cannot read " + sPath;
    return;
  }
  std::string sLine;
  bool bPending = false;
  std::uint32_t nPending = 0;
  for (int nLine = 1; std::getline(in, sLine); ++nLine) {
    const std::string sWhere = sPath + " line " + std::to_string(nLine) + ": ";
    if (sLine.rfind("#sig ", 0) == 0) {
      std::istringstream fields(sLine.substr(5));
      std::uint32_t nId = 0;
      std::string sQuoted;
      if (bPending || !(fields >> nId >> sQuoted) || sQuoted.size() < 2 || sQuoted.front() != '"' ||
          sQuoted.back() != '"') {
        st.sError = sWhere + "malformed or orphan #sig line";
        return;
      }
      const std::string sSig = sQuoted.substr(1, sQuoted.size() - 2);
      if (sSig.find_first_not_of("sSdlp") != std::string::npos || st.mapSig.count(nId) != 0) {
        st.sError = sWhere + "bad or repeated signature";
        return;
      }
      st.mapSig[nId] = sSig;
      bPending = true;
      nPending = nId;
      continue;
    }
    const std::size_t p = sLine.find_first_not_of(" \t\r");
    if (p == std::string::npos || sLine[p] == '#') continue;
    if (bPending) {
      std::istringstream fields(sLine);
      std::uint32_t nId = 0;
      if (!(fields >> nId) || nId != nPending) {
        st.sError = sWhere + "the message after #sig " + std::to_string(nPending) + " is another";
        return;
      }
      bPending = false;
    }
  }
  if (bPending) st.sError = sPath + ": #sig " + std::to_string(nPending) + " without message";
}

std::string SignatureOf(const wchar_t* psz) {
  std::string sSig;
  for (const wchar_t* p = psz; *p != L'\0';) {
    if (*p++ != L'%') continue;
    if (*p == L'%') {
      ++p;
      continue;
    }
    stWinFormatSpec stSpec{};
    const wchar_t* pszStart = p;
    p = _pszParseFormatSpecWindows(p, stSpec);
    if (stSpec.nStars != 0 || stSpec.bPositional) {
      sSig += '*';
      continue;
    }
    const bool bDecorated = stSpec.pszKeptEnd != pszStart;
    using SP = stWinFormatSpec;
    switch (stSpec.cConversion) {
      case L's':
      case L'S': {
        const bool bNarrow = stSpec.eSize == SP::SP_H || (stSpec.cConversion == L'S' && stSpec.eSize == SP::SP_NONE);
        const bool bKnown = stSpec.eSize == SP::SP_NONE || stSpec.eSize == SP::SP_H || stSpec.eSize == SP::SP_L;
        sSig += !bKnown ? '?' : bDecorated ? '!' : bNarrow ? 'S' : 's';
        break;
      }
      case L'd':
      case L'i':
      case L'u':
      case L'x':
      case L'X':
      case L'o':
        sSig += stSpec.eSize == SP::SP_NONE || stSpec.eSize == SP::SP_I32 ? 'd'
                : stSpec.eSize == SP::SP_LL || stSpec.eSize == SP::SP_I64 ? 'l'
                                                                          : '?';
        break;
      case L'p':
        sSig += 'p';
        break;
      default:
        sSig += '?';
        break;
    }
  }
  return sSig;
}

