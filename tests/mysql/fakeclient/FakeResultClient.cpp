// A fake MariaDB client library with result sets, for the statement tests
// that need a client the real one cannot play: an old client whose field
// descriptions have an older layout, a client without row positions, a
// stream that breaks at a chosen row. It answers from the script of
// FakeResultScript.h and exports the mandatory client functions, plus
// mysql_row_tell and mysql_row_seek unless built with KXFAKE_NO_ROW_SEEK.
// Like the other fake it never exports mariadb_get_infov.
#include <cstring>
#include <string>
#include <vector>

#include "FakeResultScript.h"

#define KXFAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

FakeResultScript gstScript;

struct FakeHandle {
  unsigned nErrno = 0;
  std::string sError;
  bool bResultReady = false;
};

// One row slot per row and one for the end: a row position is the address
// of its slot, as the real client's is the address of its row.
struct FakeRes {
  std::vector<std::vector<char>> vecFieldBytes;  // one element per column
  std::vector<unsigned char> vecFields;          // the elements, packed
  std::vector<std::vector<char*>> vecRowPointers;
  std::vector<std::vector<unsigned long>> vecRowLengths;
  std::vector<std::vector<std::string>> vecStorage;
  std::vector<int> vecSlots;
  std::size_t nCursor = 0;
  bool bStream = false;
  FakeHandle* pHandle = nullptr;
};

void SetError(FakeHandle* p, unsigned n, const std::string& s) {
  p->nErrno = n;
  p->sError = s;
}

template <typename T>
void Put(std::vector<unsigned char>& v, std::size_t offset, T value) {
  std::memcpy(v.data() + offset, &value, sizeof(T));
}

// Writes the field descriptions in the scripted element layout.
void BuildFields(FakeRes* r) {
  const std::size_t nSize = gstScript.nFieldSize;
  const std::size_t nCount = gstScript.vecColumns.size();
  r->vecFields.assign(nSize * nCount, 0);
  r->vecFieldBytes.resize(nCount);
  for (std::size_t i = 0; i < nCount; ++i) {
    const FakeResultColumn& c = gstScript.vecColumns[i];
    r->vecFieldBytes[i].assign(c.sName.begin(), c.sName.end());
    r->vecFieldBytes[i].push_back('\0');
    const std::size_t b = i * nSize;
    Put<const char*>(r->vecFields, b, r->vecFieldBytes[i].data());
    switch (nSize) {
      case 48:
        Put<int>(r->vecFields, b + 24, c.nType);
        Put<unsigned>(r->vecFields, b + 28, static_cast<unsigned>(c.nLength));
        Put<unsigned>(r->vecFields, b + 32, static_cast<unsigned>(c.nMaxLength));
        Put<unsigned>(r->vecFields, b + 36, c.nFlags);
        Put<unsigned>(r->vecFields, b + 40, c.nDecimals);
        break;
      case 72:
        Put<unsigned long long>(r->vecFields, b + 40, c.nLength);
        Put<unsigned long long>(r->vecFields, b + 48, c.nMaxLength);
        Put<unsigned>(r->vecFields, b + 56, c.nFlags);
        Put<unsigned>(r->vecFields, b + 60, c.nDecimals);
        Put<int>(r->vecFields, b + 64, c.nType);
        break;
      default:  // 120 and 128
        Put<unsigned long long>(r->vecFields, b + 56, c.nLength);
        Put<unsigned long long>(r->vecFields, b + 64, c.nMaxLength);
        Put<unsigned>(r->vecFields, b + 100, c.nFlags);
        Put<unsigned>(r->vecFields, b + 104, c.nDecimals);
        Put<unsigned>(r->vecFields, b + 108, c.nCharset);
        Put<int>(r->vecFields, b + 112, c.nType);
        break;
    }
  }
}

FakeRes* MakeResult(FakeHandle* p, bool bStream) {
  FakeRes* r = new FakeRes();
  r->bStream = bStream;
  r->pHandle = p;
  BuildFields(r);
  const std::size_t nRows = gstScript.vecRows.size();
  r->vecStorage.resize(nRows);
  r->vecRowPointers.resize(nRows);
  r->vecRowLengths.resize(nRows);
  for (std::size_t i = 0; i < nRows; ++i) {
    const auto& row = gstScript.vecRows[i];
    r->vecStorage[i].resize(row.size());
    for (std::size_t k = 0; k < row.size(); ++k) {
      if (row[k].has_value()) r->vecStorage[i][k] = *row[k];
      r->vecRowPointers[i].push_back(row[k].has_value() ? &r->vecStorage[i][k][0] : nullptr);
      r->vecRowLengths[i].push_back(row[k].has_value() ? row[k]->size() : 0);
    }
  }
  r->vecSlots.assign(nRows + 1, 0);
  ++gstScript.nResultsAlive;
  return r;
}

}  // namespace

KXFAKE_EXPORT FakeResultScript* kxfake_result_script() { return &gstScript; }

KXFAKE_EXPORT const char* mysql_get_client_info(void) { return gstScript.sClientVersion.c_str(); }

KXFAKE_EXPORT const char* mysql_get_server_info(void* h) {
  return h != nullptr ? gstScript.sServerVersion.c_str() : nullptr;
}

KXFAKE_EXPORT void* mysql_init(void* /*h*/) {
  ++gstScript.nHandlesAlive;
  return new FakeHandle();
}

KXFAKE_EXPORT void* mysql_real_connect(void* h, const char*, const char*, const char*, const char*,
                                       unsigned int, const char*, unsigned long) {
  return h;
}

KXFAKE_EXPORT void mysql_close(void* h) {
  if (h == nullptr) return;
  --gstScript.nHandlesAlive;
  delete static_cast<FakeHandle*>(h);
}

KXFAKE_EXPORT unsigned long mysql_escape_string(char* to, const char* from, unsigned long length) {
  std::memcpy(to, from, length);
  to[length] = 0;
  return length;
}

KXFAKE_EXPORT int mysql_real_query(void* h, const char* text, unsigned long length) {
  FakeHandle* p = static_cast<FakeHandle*>(h);
  const std::string s(text, length);
  gstScript.vecQueries.push_back(s);
  const auto it = gstScript.mapFailingTexts.find(s);
  if (it != gstScript.mapFailingTexts.end()) {
    SetError(p, it->second, "scripted failure");
    return 1;
  }
  SetError(p, 0, "");
  p->bResultReady = s.rfind("SELECT", 0) == 0;
  return 0;
}

KXFAKE_EXPORT void* mysql_store_result(void* h) {
  FakeHandle* p = static_cast<FakeHandle*>(h);
  if (!p->bResultReady) return nullptr;
  p->bResultReady = false;
  return MakeResult(p, false);
}

KXFAKE_EXPORT void* mysql_use_result(void* h) {
  FakeHandle* p = static_cast<FakeHandle*>(h);
  if (!p->bResultReady) return nullptr;
  p->bResultReady = false;
  return MakeResult(p, true);
}

KXFAKE_EXPORT void mysql_free_result(void* r) {
  if (r == nullptr) return;
  --gstScript.nResultsAlive;
  delete static_cast<FakeRes*>(r);
}

KXFAKE_EXPORT void* mysql_fetch_fields(void* r) {
  ++gstScript.nFetchFields;
  return static_cast<FakeRes*>(r)->vecFields.data();
}

KXFAKE_EXPORT unsigned int mysql_num_fields(void* /*r*/) {
  return static_cast<unsigned>(gstScript.vecColumns.size());
}

KXFAKE_EXPORT unsigned long long mysql_num_rows(void* r) {
  return static_cast<FakeRes*>(r)->bStream ? 0 : static_cast<FakeRes*>(r)->vecRowPointers.size();
}

KXFAKE_EXPORT char** mysql_fetch_row(void* res) {
  ++gstScript.nFetchRow;
  FakeRes* r = static_cast<FakeRes*>(res);
  if (r->bStream && gstScript.nStreamBreakAfter != 0 && r->nCursor == gstScript.nStreamBreakAfter) {
    SetError(r->pHandle, gstScript.nStreamBreakError, "Lost connection to server during query");
    return nullptr;
  }
  if (r->nCursor >= r->vecRowPointers.size()) return nullptr;
  return r->vecRowPointers[r->nCursor++].data();
}

KXFAKE_EXPORT unsigned long* mysql_fetch_lengths(void* res) {
  ++gstScript.nFetchLengths;
  FakeRes* r = static_cast<FakeRes*>(res);
  if (r->nCursor == 0) return nullptr;
  return r->vecRowLengths[r->nCursor - 1].data();
}

KXFAKE_EXPORT void mysql_data_seek(void* res, unsigned long long n) {
  ++gstScript.nDataSeek;
  FakeRes* r = static_cast<FakeRes*>(res);
  r->nCursor = n < r->vecRowPointers.size() ? static_cast<std::size_t>(n) : r->vecRowPointers.size();
}

#ifndef KXFAKE_NO_ROW_SEEK
KXFAKE_EXPORT void* mysql_row_tell(void* res) {
  ++gstScript.nRowTell;
  FakeRes* r = static_cast<FakeRes*>(res);
  return &r->vecSlots[r->nCursor];
}

KXFAKE_EXPORT void* mysql_row_seek(void* res, void* offset) {
  ++gstScript.nRowSeek;
  FakeRes* r = static_cast<FakeRes*>(res);
  void* pFormer = &r->vecSlots[r->nCursor];
  r->nCursor = static_cast<std::size_t>(static_cast<int*>(offset) - r->vecSlots.data());
  return pFormer;
}
#endif

KXFAKE_EXPORT unsigned long long mysql_insert_id(void* /*h*/) { return 0; }

KXFAKE_EXPORT unsigned int mysql_errno(void* h) {
  ++gstScript.nErrno;
  return h != nullptr ? static_cast<FakeHandle*>(h)->nErrno : 0;
}

KXFAKE_EXPORT const char* mysql_error(void* h) {
  return h != nullptr ? static_cast<FakeHandle*>(h)->sError.c_str() : "";
}

KXFAKE_EXPORT unsigned long long mysql_affected_rows(void* /*h*/) { return 0; }
