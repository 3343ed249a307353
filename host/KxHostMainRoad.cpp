#include "KxHostMainRoad.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "CAny.h"
#include "INAContext.h"
#include "INADriver.h"
#include "INAError.h"
#include "INATable.h"
#include "KxHostConnection.h"
#include "KxHostText.h"
#include "StandInSQLParser.h"

namespace {

// The runtime's contexts: fixed identifiers, nothing counted.
class CKxHostContext final : public INAContext {
 public:
  explicit CKxHostContext(std::uint64_t n) : m_n(n) {}
  std::uint32_t nGetVersion() override { return 1; }
  std::uint32_t nGetCompatSince() override { return 1; }
  std::uint32_t nGetNAVersion() override { return 1; }
  std::uint32_t nGetNACompatSince() override { return 1; }
  void NAVersion_EmptySlot_3() override {}
  void Reserved5() override {}
  void Reserved6() override {}
  void Reserved7() override {}
  std::uint64_t dwGetContextID() override { return m_n; }
  std::uint64_t dwGetDataID() override { return m_n + 1; }

 private:
  std::uint64_t m_n;
};

// The record object as the runtime reads it in place: after its table of
// operations, the two counts, the total size, the buffer, the flag-bit
// count, the value area, the flag field's size and the flag field.
struct STRecordView {
  void* pOperations;
  std::uint32_t nInternal;
  std::uint32_t nExternal;
  std::uint32_t nTotal;
  unsigned char* pBuffer;
  std::uint32_t nFlagBits;
  unsigned char* pValues;
  std::uint32_t nFlagSize;
  unsigned char* pFlags;
};

const char* const kapszNames[] = {"Zoë", "Ångström", "Łódź", "naïve café", "😀 smile", "𝄞 clef", "Straße", "plain"};

// The printed form of a row: "id=1 grp=0 name="Zoë 1" score=1000003000".
std::string RowText(const STKxHostRoadRow& row) {
  std::string s = "id=" + std::to_string(row.nId);
  s += " grp=" + (row.onGroup ? std::to_string(*row.onGroup) : std::string("NULL"));
  s += " name=" + (row.osName ? "\"" + *row.osName + "\"" : std::string("NULL"));
  s += " score=" + (row.ollScore ? std::to_string(*row.ollScore) : std::string("NULL"));
  return s;
}

// The declared table and what reading its records needs.
class CRoadTable {
 public:
  // Item types of the declaration (eNA_ITEMTYPE) and key kinds.
  enum : std::uint32_t { TYPE_I4 = 5, TYPE_I8 = 19, TYPE_UNICODE = 29 };
  enum : std::uint16_t { KEY_PRIMARY = 0x8000, KEY_UNIQUE = 0x4000, KEY_DUPLICATES = 0x2000 };

  explicit CRoadTable(const std::wstring& name) : m_clSource(name.c_str(), name.c_str()) {
    // The name holds twenty characters of up to two UTF-16 units each, and
    // a terminator.
    m_bDeclared = m_clSource.Declare({{L"id", TYPE_I4, 4, 1, KEY_PRIMARY | KEY_UNIQUE, {}, 0},
                                      {L"grp", TYPE_I4, 4, 1, KEY_DUPLICATES},
                                      {L"name", TYPE_UNICODE, 82},
                                      {L"score", TYPE_I8, 8}});
    m_pId = m_clSource.pclGetItemNoRef(L"id");
    m_pGroup = m_clSource.pclGetItemNoRef(L"grp");
    m_pName = m_clSource.pclGetItemNoRef(L"name");
    m_pScore = m_clSource.pclGetItemNoRef(L"score");
    m_clSource.m_pclBest = m_pId;
  }
  bool bDeclared() const { return m_bDeclared && m_pId != nullptr; }
  CStandInDataSource* pSource() { return &m_clSource; }

  // The record lent by bGetRecord decoded from its buffer: the NULL-flag
  // field first (a set bit: the item holds a value), then each value at its
  // item's offset in the value area. The lent external count is given
  // back. False, with *why, when nothing is lent or the buffer's sizes are
  // not those of the declaration.
  bool bRead(INATable* piTable, INAContext* piContext, STKxHostRoadRow* row, std::string* why) {
    CNAXQRecord* pclRecord = nullptr;
    if (!piTable->bGetRecord(piContext, &pclRecord) || pclRecord == nullptr) {
      *why = "bGetRecord lent no record";
      return false;
    }
    auto* pView = reinterpret_cast<STRecordView*>(pclRecord);
    const std::uint32_t nItems = m_clSource.nGetNumItemPhysicallyInFic();
    const std::uint32_t nFlagSize = nItems == 0 ? 0 : ((nItems - 1) >> 3) + 1;
    bool bOk = pView->nFlagSize == nFlagSize && pView->nFlagBits == nItems && pView->pFlags == pView->pBuffer &&
               pView->pValues == pView->pBuffer + nFlagSize &&
               pView->nTotal == nFlagSize + m_clSource.nGetDiskRecordSize();
    if (!bOk) {
      *why = "the record's buffer is not laid out as declared";
    } else {
      auto defined = [&](const CStandInItemDescription* p) {
        const std::uint32_t n = p->nGetPhysicalIndice();
        return (pView->pFlags[n >> 3] & (0x80 >> (n & 7))) != 0;
      };
      const unsigned char* pValues = pView->pValues;
      std::int32_t n = 0;
      std::memcpy(&n, pValues + m_pId->nGetOffset(0), 4);
      row->nId = defined(m_pId) ? n : -1;
      row->onGroup.reset();
      if (defined(m_pGroup)) {
        std::memcpy(&n, pValues + m_pGroup->nGetOffset(0), 4);
        row->onGroup = n;
      }
      row->osName.reset();
      if (defined(m_pName)) {
        std::vector<std::uint16_t> vecUnits(m_pName->nGetItemSize() / 2);
        std::memcpy(vecUnits.data(), pValues + m_pName->nGetOffset(0), vecUnits.size() * 2);
        row->osName = Utf8FromUtf16(vecUnits.data(), vecUnits.size());
      }
      row->ollScore.reset();
      if (defined(m_pScore)) {
        std::int64_t ll = 0;
        std::memcpy(&ll, pValues + m_pScore->nGetOffset(0), 8);
        row->ollScore = ll;
      }
    }
    // The runtime's count given back; the library's own reference keeps
    // the record.
    if (pView->nExternal > 0 && pView->nInternal > 0) --pView->nExternal;
    return bOk;
  }

 private:
  CStandInDataSource m_clSource;
  bool m_bDeclared = false;
  CStandInItemDescription* m_pId = nullptr;
  CStandInItemDescription* m_pGroup = nullptr;
  CStandInItemDescription* m_pName = nullptr;
  CStandInItemDescription* m_pScore = nullptr;
};

// The steps of the road on an opened table.
class CRoad {
 public:
  CRoad(INATable* piTable, CRoadTable* pTable, INAContext* piContext)
      : m_piTable(piTable), m_pTable(pTable), m_piContext(piContext) {}

  bool bOk() const { return m_bOk; }
  void Fail(const std::string& why) {
    std::printf("   unexpected: %s\n", why.c_str());
    m_bOk = false;
  }
  void PrintError(INAContext* piContext) {
    INAError* piError = m_piTable->piGetLastError(piContext);
    const wchar_t* psz = piError != nullptr ? piError->pszGetError() : nullptr;
    std::printf("   error %u: %s\n", piError != nullptr ? piError->dwGetErrorId() : 0u,
                psz != nullptr && *psz != 0 ? Utf8(psz).c_str() : "(no text)");
  }

  // The current record, printed as "row <label> ..." and checked against
  // the inserts; its id (-1 when unreadable).
  int Take(const char* pszLabel) {
    STKxHostRoadRow row{};
    std::string sWhy;
    if (!m_pTable->bRead(m_piTable, m_piContext, &row, &sWhy)) {
      Fail(sWhy);
      return -1;
    }
    std::printf("   row %s %s\n", pszLabel, RowText(row).c_str());
    const bool bKnown = row.nId >= 1 && row.nId <= knKxHostRoadRows;
    if (!bKnown || RowText(row) != RowText(KxHostRoadRow(row.nId))) Fail("the record is not the row inserted");
    return row.nId;
  }

  // The whole table on `id`, first to last or last to first.
  void Browse(bool bForward) {
    const char* pszLabel = bForward ? "next" : "previous";
    std::vector<int> vecIds;
    eNA_PARSEDIRECTION e = static_cast<eNA_PARSEDIRECTION>(bForward ? 0 : 1);
    for (;;) {
      const int bRead = m_piTable->bHLitxxx(m_piContext, L"id", e, 1, static_cast<eNA_LOCKTYPE>(0), nullptr, 0);
      int nOut = 1;
      const int bAsked = m_piTable->bHEnDehors(m_piContext, L"id", &nOut);
      if (!bRead || !bAsked) {
        std::printf("-> bHLitxxx on id (%s): %d\n", pszLabel, bRead);
        PrintError(m_piContext);
        Fail("the browse failed");
        return;
      }
      if (nOut) break;
      const int nId = Take(pszLabel);
      if (nId < 0 || vecIds.size() > static_cast<std::size_t>(knKxHostRoadRows)) return;
      vecIds.push_back(nId);
      e = static_cast<eNA_PARSEDIRECTION>(bForward ? 2 : 3);
    }
    bool bOrder = vecIds.size() == static_cast<std::size_t>(knKxHostRoadRows);
    for (std::size_t i = 0; bOrder && i < vecIds.size(); ++i)
      bOrder = vecIds[i] == (bForward ? static_cast<int>(i) + 1 : knKxHostRoadRows - static_cast<int>(i));
    std::printf("-> browse on id (%s): %zu rows%s\n", pszLabel, vecIds.size(), bOrder ? ", in order" : "");
    if (!bOrder) Fail("the browse did not give every row once in order");
  }

  // A search of `grp` = nValue, then the rows read while found.
  void Search(int nValue, int nFirstExpected, int nCountExpected) {
    CAny v;
    v.SetI4(nValue);
    const int bAnswer = m_piTable->bHRecherche(m_piContext, L"grp", &v, 1, 1, static_cast<eNA_LOCKTYPE>(0),
                                                nullptr, 1, 0);
    int nFound = -1, nIn = -1, nOut = -1;
    const int bEval = m_piTable->bEvalHTrouve(m_piContext, L"grp", &nFound, &nIn);
    const int bOut = m_piTable->bHEnDehors(m_piContext, L"grp", &nOut);
    std::printf("-> bHRecherche grp=%d: %d, bEvalHTrouve: %d found %d in file %d, bHEnDehors: %d out %d\n", nValue,
                bAnswer, bEval, nFound, nIn, bOut, nOut);
    if (!bAnswer || !bEval || !bOut) {
      PrintError(m_piContext);
      Fail("the search failed");
      return;
    }
    if ((nCountExpected > 0) != (nFound == 1)) Fail("the found flag is wrong");
    int nRows = 0, nFirst = -1;
    while (nFound == 1 && nIn == 1 && nRows <= knKxHostRoadRows) {
      const int nId = Take("found");
      if (nId < 0) return;
      if (nFirst < 0) nFirst = nId;
      ++nRows;
      if (!m_piTable->bHLitxxx(m_piContext, L"grp", static_cast<eNA_PARSEDIRECTION>(2), 1,
                               static_cast<eNA_LOCKTYPE>(0), nullptr, 0) ||
          !m_piTable->bEvalHTrouve(m_piContext, L"grp", &nFound, &nIn)) {
        PrintError(m_piContext);
        Fail("reading on while found failed");
        return;
      }
    }
    std::printf("-> rows found for grp=%d: %d\n", nValue, nRows);
    if (nRows != nCountExpected || (nCountExpected > 0 && nFirst != nFirstExpected))
      Fail("the search did not read the rows of its value");
  }

  // On the record of id nFrom (found by a search on id), the key changed to
  // `grp`, then next: the record after it in grp order.
  void ChangeKey(int nFrom, int nExpected) {
    CAny v;
    v.SetI4(nFrom);
    int nFound = 0, nIn = 0;
    if (!m_piTable->bHRecherche(m_piContext, L"id", &v, 1, 1, static_cast<eNA_LOCKTYPE>(0), nullptr, 1, 0) ||
        !m_piTable->bEvalHTrouve(m_piContext, L"id", &nFound, &nIn) || nFound != 1) {
      PrintError(m_piContext);
      Fail("the search of the starting record failed");
      return;
    }
    Take("from");
    const int bChange = m_piTable->bHChangeCle(m_piContext, L"grp", 0);
    const int bNext = bChange && m_piTable->bHLitxxx(m_piContext, L"grp", static_cast<eNA_PARSEDIRECTION>(2), 1,
                                                      static_cast<eNA_LOCKTYPE>(0), nullptr, 0);
    std::printf("-> bHChangeCle grp: %d, then next on grp: %d\n", bChange, bNext ? 1 : 0);
    if (!bNext) {
      PrintError(m_piContext);
      Fail("the key change failed");
      return;
    }
    if (Take("after-change") != nExpected) Fail("next after the key change is not the following row");
  }

  // The whole table's count.
  void Count() {
    long n = -1;
    const int bAnswer = m_piTable->bHNbEnr(m_piContext, &n, 16, 0);
    std::printf("-> bHNbEnr (whole): %d, %ld records\n", bAnswer, n);
    if (!bAnswer || n != knKxHostRoadRows) {
      PrintError(m_piContext);
      Fail("the count is wrong");
    }
  }

 private:
  INATable* m_piTable;
  CRoadTable* m_pTable;
  INAContext* m_piContext;
  bool m_bOk = true;
};

std::string InsertText(const std::string& sTable) {
  std::string s = "INSERT INTO " + sTable + " (id, grp, name, score) VALUES ";
  for (int id = 1; id <= knKxHostRoadRows; ++id) {
    const STKxHostRoadRow row = KxHostRoadRow(id);
    if (id > 1) s += ",";
    s += "(" + std::to_string(id) + "," + (row.onGroup ? std::to_string(*row.onGroup) : "NULL") + "," +
         (row.osName ? "'" + *row.osName + "'" : "NULL") + "," +
         (row.ollScore ? std::to_string(*row.ollScore) : "NULL") + ")";
  }
  return s;
}

}  // namespace

STKxHostRoadRow KxHostRoadRow(int nId) {
  STKxHostRoadRow row{nId, {}, {}, {}};
  if (nId % 25 != 0) row.onGroup = (nId - 1) / 6;
  if (nId % 10 != 0)
    row.osName = std::string(kapszNames[nId % (sizeof kapszNames / sizeof kapszNames[0])]) + " " + std::to_string(nId);
  if (nId % 7 != 0) row.ollScore = static_cast<std::int64_t>(nId) * 1000003 * 1000;
  return row;
}

bool RunMainRoad(INADriver* piDriver, const STServer& server) {
  const std::string sTable = "kxhost_road" + std::to_string(getpid());
  CKxHostSession clSession;
  std::string sFailure;
  if (!clSession.bConnect(server, &sFailure) || !clSession.bExecute("SET NAMES utf8mb4", &sFailure) ||
      !clSession.bExecute("DROP TABLE IF EXISTS " + sTable, &sFailure) ||
      !clSession.bExecute("CREATE TABLE " + sTable +
                              " (id INT NOT NULL PRIMARY KEY, grp INT NULL, name VARCHAR(20) CHARACTER SET utf8mb4"
                              " NULL, score BIGINT NULL, KEY (grp)) ENGINE=InnoDB",
                          &sFailure) ||
      !clSession.bExecute(InsertText(sTable), &sFailure)) {
    std::printf("-> set-up of the main road failed: %s\n", Masked(sFailure, server.sPassword).c_str());
    return false;
  }
  std::printf("-> set-up: table %s created with %d rows\n", sTable.c_str(), knKxHostRoadRows);

  bool bOk = true;
  {
    // The road's own connection: a block of at most 100 records per SELECT.
    CKxHostConnection clConnection;
    clConnection.Set(server.sHost, server.nPort, server.sSocket, server.sUser, server.sPassword, server.sDatabase);
    clConnection.AddExtended(L"KX Cache Size=100");
    const std::wstring sName(sTable.begin(), sTable.end());
    CRoadTable clTable(sName);
    CKxHostContext clContext(0x7000), clOther(0x7100);

    INATable* piTable = clTable.bDeclared() ? piDriver->piGetTable(&clConnection, clTable.pSource()) : nullptr;
    std::printf("-> piGetTable (KX Cache Size 100): %s\n", piTable != nullptr ? "a table" : "null");
    if (piTable == nullptr) {
      INAError* piError = piDriver->piGetLastError();
      std::printf("   error: %s\n", piError != nullptr ? Masked(Utf8(piError->pszGetError()),
                                                                server.sPassword).c_str() : "(none)");
      bOk = false;
    } else {
      CRoad clRoad(piTable, &clTable, &clContext);
      const int bOpened = piTable->bHOuvre(&clContext, static_cast<eNA_ACCESS>(0), L"");
      std::printf("-> bHOuvre: %d\n", bOpened);
      if (!bOpened) {
        clRoad.PrintError(&clContext);
        clRoad.Fail("the table did not open");
      } else {
        clRoad.Browse(true);
        clRoad.Browse(false);
        // grp 16 holds ids 97 to 102 but 100 (a NULL); no row holds 999.
        clRoad.Search(16, 97, 5);
        clRoad.Search(999, -1, 0);
        // In grp order the row after 99 is 101.
        clRoad.ChangeKey(99, 101);
        clRoad.Count();
      }
      // A context that never opened the table.
      int nOut = -1;
      const int bOther = piTable->bHLitxxx(&clOther, L"id", static_cast<eNA_PARSEDIRECTION>(0), 1,
                                           static_cast<eNA_LOCKTYPE>(0), nullptr, 0);
      std::printf("-> bHLitxxx in a second context that never opened it: %d\n", bOther);
      clRoad.PrintError(&clOther);
      INAError* piError = piTable->piGetLastError(&clOther);
      const std::string sText =
          piError != nullptr && piError->pszGetError() != nullptr ? Utf8(piError->pszGetError()) : "";
      if (bOther || piError == nullptr || piError->dwGetErrorId() != 19 || sText.find(sTable) == std::string::npos)
        clRoad.Fail("no user error 19 naming the table");
      (void)nOut;
      const int bClosed = piTable->bHFerme(&clContext);
      std::printf("-> bHFerme: %d\n", bClosed);
      if (!bClosed) clRoad.Fail("the table did not close");
      const std::uint32_t nLeft = piTable->nExternalRelease();
      std::printf("-> table nExternalRelease: %u\n", nLeft);
      if (nLeft != 0) clRoad.Fail("the table is still held");
      std::printf("-> declared description references left: %d\n", clTable.pSource()->m_nExternal);
      if (clTable.pSource()->m_nExternal != 0) clRoad.Fail("the description is still held");
      bOk = clRoad.bOk();
    }
    const int bClosed = piDriver->bCloseConnection(&clConnection);
    std::printf("-> bCloseConnection (main road): %d\n", bClosed);
    if (!bClosed || clConnection.nGetExternalCount() != 0) bOk = false;
  }
  if (!clSession.bExecute("DROP TABLE IF EXISTS " + sTable, &sFailure)) {
    std::printf("-> dropping %s failed: %s\n", sTable.c_str(), Masked(sFailure, server.sPassword).c_str());
    bOk = false;
  }
  return bOk;
}
