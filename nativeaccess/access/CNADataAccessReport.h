// Helpers of the read, search and count paths of a data access.
//
// The user errors the read, search and count paths of a data access raise:
// source 3 of the debug line, error type 0, the data access's connection,
// the logical table name and `item` as information names when it is the
// first error of the call. Each argument is a message parameter (the
// message's own signature says how many it reads). Nothing when the data
// access has no error object.
#pragma once

#include "CNADataAccess.h"
#include "CNAError.h"
#include "CNARecord.h"
#include "CNARecordValue.h"

namespace kxaccess {

// Source number of the data access in the debug line.
constexpr int knDataAccessSource = 3;

template <class... Args>
void AddAccessError(CNADataAccess* access, int site, unsigned int code, const wchar_t* item, Args... args) {
  CNAError* pclError = access->pclGetError();
  if (pclError == nullptr) return;
  const bool bFirst = pclError->eGetErrorType() == NA_ERRORTYPE_NONE;
  pclError->AddError(NA_ERRORTYPE_GENERIC, knDataAccessSource, site, access->pclGetConnection(), code, args...);
  if (bFirst) pclError->SetInfoNames(access->pszGetLogicalName(), item != nullptr ? item : L"");
}

// The current and original buffers of a record layout as they were when it
// was made; put back when it goes unless Keep() was called, so that no way
// out of a call that borrows them (an exception included) leaves them
// changed.
class RecordBuffersKept {
 public:
  // `withOriginal` false keeps the current buffer only.
  explicit RecordBuffersKept(CNARecord* record, bool withOriginal = true)
      : m_pclRecord(record), m_bWithOriginal(withOriginal) {
    if (record == nullptr) return;
    CNARecordValue* pclCurrent = record->pclGetCurrentRecordValue();
    CNARecordValue* pclOriginal = record->pclGetOriginalRecordValue();
    if (pclCurrent == nullptr || (withOriginal && pclOriginal == nullptr)) return;
    m_pclCurrent = pclCurrent->pclGetClone(NA_COPY_ALL);
    if (m_pclCurrent != nullptr) m_pclCurrent->AddRef();
    if (!withOriginal) return;
    m_pclOriginal = pclOriginal->pclGetClone(NA_COPY_ALL);
    if (m_pclOriginal != nullptr) m_pclOriginal->AddRef();
  }
  ~RecordBuffersKept() {
    if (!m_bKeep && bValid()) {
      m_pclRecord->bCopyToCurrentRecord(m_pclCurrent);
      if (m_bWithOriginal) m_pclRecord->pclGetOriginalRecordValue()->bCopyRecordValue(m_pclOriginal, NA_COPY_ALL);
    }
    if (m_pclCurrent != nullptr) m_pclCurrent->nRelease();
    if (m_pclOriginal != nullptr) m_pclOriginal->nRelease();
  }
  RecordBuffersKept(const RecordBuffersKept&) = delete;
  RecordBuffersKept& operator=(const RecordBuffersKept&) = delete;

  bool bValid() const { return m_pclCurrent != nullptr && (!m_bWithOriginal || m_pclOriginal != nullptr); }
  void Keep() { m_bKeep = true; }

 private:
  CNARecord* m_pclRecord;
  bool m_bWithOriginal;
  CNARecordValue* m_pclCurrent = nullptr;
  CNARecordValue* m_pclOriginal = nullptr;
  bool m_bKeep = false;
};

}  // namespace kxaccess
