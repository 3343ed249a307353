#include "KxHostSQLRuntime.h"

#include <cstdio>
#include <cstdlib>

#include "CInformationDLL.h"
#include "INADriver.h"
#include "INADriverSQL.h"
#include "StandInSQLRuntime.h"
#include "StandInTabValParser.h"

namespace {

// The wide form of a UTF-8 text; a malformed byte reads as U+FFFD.
std::wstring WideFromUtf8(const std::string& s) {
  std::wstring w;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const int nMore = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (nMore < 0 || i + static_cast<size_t>(nMore) >= s.size()) {
      w += static_cast<wchar_t>(0xFFFD);
      ++i;
      continue;
    }
    unsigned int n = nMore == 0 ? c : c & (0x3F >> nMore);
    bool bOk = true;
    for (int k = 1; k <= nMore; ++k) {
      const unsigned char cc = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
      if ((cc & 0xC0) != 0x80) bOk = false;
      n = n << 6 | (cc & 0x3F);
    }
    w += bOk ? static_cast<wchar_t>(n) : static_cast<wchar_t>(0xFFFD);
    i += bOk ? static_cast<size_t>(nMore) + 1 : 1;
  }
  return w;
}

// The records of a list text ("\r\n" between them).
std::vector<std::wstring> Records(const std::wstring& text) {
  std::vector<std::wstring> vec;
  if (text.empty()) return vec;
  for (size_t nStart = 0;;) {
    const size_t nEnd = text.find(L"\r\n", nStart);
    vec.push_back(text.substr(nStart, nEnd == std::wstring::npos ? nEnd : nEnd - nStart));
    if (nEnd == std::wstring::npos) break;
    nStart = nEnd + 2;
  }
  return vec;
}

}  // namespace

bool bKxHostSQLOption(const std::string& option, const std::string& value, STKxHostSQL* sql, bool* bad) {
  if (option == "--sql") {
    sql->vecTexts.push_back(value);
    return true;
  }
  if (option != "--table-list") return false;
  char* pszEnd = nullptr;
  const unsigned long n = std::strtoul(value.c_str(), &pszEnd, 0);
  if (value.empty() || *pszEnd != 0 || n > 0xFFFFFFFFul) {
    *bad = true;
    return true;
  }
  sql->bTableList = true;
  sql->nTableListFlags = static_cast<unsigned int>(n);
  return true;
}

bool bKxHostRunSQL(INADriver* driver, INAConnectionDescription* cnx, const STKxHostSQL& sql,
                   void* strMemAlloc, const std::function<std::string(const wchar_t*)>& printable) {
  // The values the library hands back are texts of the runtime's string
  // memory: this process reads and frees them there too.
  CInformationModule::ms_piStrMemAlloc = static_cast<IStrMemAlloc*>(strMemAlloc);
  auto* piFace = static_cast<INADriverSQL*>(driver->piGetInterface(1));
  if (piFace == nullptr) {
    std::printf("-> sql piGetInterface(1): null\n");
    return false;
  }
  bool bExpected = true;
  {
    CStandInSQLRuntime clRuntime(piFace);
    const int nOpen = clRuntime.bOpen(cnx);
    std::printf("-> sql bOpenConnection: %d, connection %d\n", nOpen, clRuntime.nGetConnection());
    if (nOpen != 1) {
      std::printf("   error: %s\n", printable(clRuntime.LastError().c_str()).c_str());
      bExpected = false;
    } else {
      for (const std::string& sText : sql.vecTexts) {
        const std::wstring wText = WideFromUtf8(sText);
        // The runtime always hands its parameter list over, empty here.
        CTabValParser clParameters(0);
        const CStandInSQLRuntime::STRun stRun = clRuntime.Run(wText.c_str(), &clParameters);
        std::printf("-> sql bExecute \"%s\": %d, statement %d\n", printable(wText.c_str()).c_str(), stRun.nAnswer,
                    stRun.nStatement);
        if (stRun.nAnswer != 1) {
          std::printf("   error: %s\n", printable(clRuntime.LastError().c_str()).c_str());
          bExpected = false;
          continue;
        }
        if (stRun.nStatement == 0) continue;
        for (const std::wstring& sRow : stRun.vecRows) std::printf("   row: %s\n", printable(sRow.c_str()).c_str());
        std::printf("-> sql bFetch: %d, error: %s\n", stRun.nLastFetch,
                    stRun.sFetchError.empty() ? "none" : printable(stRun.sFetchError.c_str()).c_str());
        if (!stRun.sFetchError.empty()) bExpected = false;
      }
      if (sql.bTableList) {
        std::wstring sList;
        const int nAnswer = clRuntime.bGetTableList(sql.nTableListFlags, nullptr, &sList);
        std::printf("-> sql bGetTableList(0x%x): %d\n", sql.nTableListFlags, nAnswer);
        if (nAnswer != 1) {
          std::printf("   error: %s\n", printable(clRuntime.LastError().c_str()).c_str());
          bExpected = false;
        }
        for (const std::wstring& sRecord : Records(sList))
          std::printf("   record: %s\n", printable(sRecord.c_str()).c_str());
      }
      const int nClose = clRuntime.bClose();
      std::printf("-> sql bCloseConnection: %d\n", nClose);
      if (nClose != 1) bExpected = false;
    }
  }
  std::printf("-> sql nExternalRelease\n");
  return bExpected;
}
