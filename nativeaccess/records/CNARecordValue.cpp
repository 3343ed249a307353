#include "CNARecordValue.h"

#include <climits>
#include <new>

#include "CAny.h"
#include "CNAConvertVariant.h"
#include "CNADriver.h"
#include "CNAError.h"
#include "CNARecordId.h"
#include "CNARecordMemo.h"
#include "CNAXQRecord.h"

CNARecordValue::CNARecordValue(CNAError* error) : m_pclError(error) {
  if (m_pclError == nullptr) {
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    m_pclError = pclDriver != nullptr ? pclDriver->pclAllocError() : new (std::nothrow) CNAError();
  }
  if (m_pclError != nullptr) m_pclError->AddRef();
}

CNARecordValue::~CNARecordValue() {
  bShareRecordID(nullptr);
  if (m_pclMemo != nullptr) m_pclMemo->dwRelease();
  m_pclMemo = nullptr;
  if (m_pclRecord != nullptr) m_pclRecord->nRelease();
  m_pclRecord = nullptr;
  if (m_pclError != nullptr) m_pclError->nRelease();
}

void CNARecordValue::_SetNoMemory() {
  if (m_pclError != nullptr) m_pclError->pclGetXError()->SetErrorNoMemory();
}

bool CNARecordValue::bCopyNAXQRecord(const CNAXQRecord* record) {
  if (record == nullptr) return false;
  if (m_pclRecord != nullptr) return m_pclRecord == record || m_pclRecord->Copy(record);
  CNAXQRecord* pclClone = record->pclGetClone();
  if (pclClone == nullptr) {
    _SetNoMemory();
    return false;
  }
  pclClone->AddRef();
  m_pclRecord = pclClone;
  return true;
}

bool CNARecordValue::bCopyTabMemoValue(const CNARecordMemo* source) {
  const bool bSourceValue = source != nullptr && source->bHasValue();
  if (!bSourceValue && (m_pclMemo == nullptr || !m_pclMemo->bHasValue())) {
    if (m_pclMemo != nullptr) m_pclMemo->dwRelease();
    m_pclMemo = nullptr;
    return true;
  }
  if (m_pclMemo == source) return true;
  if (m_pclMemo == nullptr) {
    m_pclMemo = new (std::nothrow) CNARecordMemo();
    if (m_pclMemo == nullptr) {
      _SetNoMemory();
      return false;
    }
    m_pclMemo->dwAddRef();
  }
  if (!m_pclMemo->bCopyRecordMemo(source)) {
    _SetNoMemory();
    return false;
  }
  return true;
}

bool CNARecordValue::bShareTabMemoValue(CNARecordMemo* memo) {
  CNARecordMemo* pclNew = memo != nullptr && memo->bHasValue() ? memo : nullptr;
  if (pclNew != nullptr) pclNew->dwAddRef();
  if (m_pclMemo != nullptr) m_pclMemo->dwRelease();
  m_pclMemo = pclNew;
  return true;
}

bool CNARecordValue::bCopyMemoValue(unsigned int index, CNAConvertVariant* value) {
  if (index > static_cast<unsigned int>(INT_MAX)) return false;
  if (value == nullptr) return bShareMemoValue(static_cast<int>(index), nullptr);
  CNAConvertVariant* pclClone = value->pclGetCloneVariant();
  if (pclClone == nullptr) {
    _SetNoMemory();
    return false;
  }
  pclClone->AddRef();
  const bool bOk = bShareMemoValue(static_cast<int>(index), pclClone);
  pclClone->nRelease();
  return bOk;
}

bool CNARecordValue::bShareMemoValue(int index, CNAConvertVariant* value) {
  if (index < 0) return false;
  if (m_pclMemo == nullptr) {
    m_pclMemo = new (std::nothrow) CNARecordMemo();
    if (m_pclMemo == nullptr) {
      _SetNoMemory();
      return false;
    }
    m_pclMemo->dwAddRef();
  }
  if (!m_pclMemo->bShareMemoValue(index, value)) {
    _SetNoMemory();
    return false;
  }
  return true;
}

CNAConvertVariant* CNARecordValue::pclGetMemoValueNoRef(int index) const {
  return m_pclMemo != nullptr ? m_pclMemo->pGetAt(index) : nullptr;
}

CNAConvertVariant* CNARecordValue::pclGetMemoValue(int index) const {
  CNAConvertVariant* pclValue = pclGetMemoValueNoRef(index);
  if (pclValue != nullptr) pclValue->AddRef();
  return pclValue;
}

bool CNARecordValue::bGetMemoValue(CAny* out, int index) const {
  if (out == nullptr) return true;
  const CNAConvertVariant* pclValue = pclGetMemoValueNoRef(index);
  if (pclValue == nullptr) {
    out->SetNull(true);
    return true;
  }
  pclValue->bGetValue(out);
  return true;
}

bool CNARecordValue::bGetItemValue(CAny* out, INAItemDescription* item) const {
  if (out == nullptr) return true;
  if (m_pclRecord != nullptr && item != nullptr && m_pclRecord->vbItemValueDefined(item, 0) != 0 &&
      m_pclRecord->GetItemValue(out, item, 0))
    return true;
  out->SetNull(true);
  return true;
}

bool CNARecordValue::bShareRecordID(CNARecordId* id) {
  if (id != nullptr) id->dwAddRef();
  CNARecordId* pclOld = m_pclRecordId;
  m_pclRecordId = id;
  if (pclOld != nullptr) pclOld->dwRelease();
  return true;
}

bool CNARecordValue::bCopyRecordID(CNARecordId* source) {
  if (source == nullptr) return bShareRecordID(nullptr);
  if (m_pclRecordId != nullptr && m_pclRecordId->eGetRecordIdType() == source->eGetRecordIdType())
    return m_pclRecordId->bCopy(this, source);
  CNARecordId* pclClone = source->pclGetClone(this);
  if (pclClone == nullptr) {
    _SetNoMemory();
    return false;
  }
  return bShareRecordID(pclClone);
}

bool CNARecordValue::bCopyRecordValue(const CNARecordValue* source, eCOPYFLAGS flags) {
  if (source == nullptr) return false;
  if (source == this) return true;
  m_eState = source->m_eState;
  if ((flags & NA_COPY_RECORD) != 0 && source->m_pclRecord != nullptr && !bCopyNAXQRecord(source->m_pclRecord))
    return false;
  if ((flags & NA_COPY_MEMO) != 0 && !bCopyTabMemoValue(source->m_pclMemo)) return false;
  if ((flags & NA_COPY_RECORDID) != 0 && !bCopyRecordID(source->m_pclRecordId)) return false;
  return true;
}

CNARecordValue* CNARecordValue::pclGetClone(eCOPYFLAGS flags) const {
  auto* pclClone = new (std::nothrow) CNARecordValue(m_pclError);
  if (pclClone == nullptr) {
    const_cast<CNARecordValue*>(this)->_SetNoMemory();
    return nullptr;
  }
  if (!pclClone->bCopyRecordValue(this, flags)) {
    delete pclClone;
    return nullptr;
  }
  return pclClone;
}

bool CNARecordValue::bEquals(const CNARecordValue* other, int withMemos) const {
  if (other == nullptr || m_pclRecord == nullptr || !m_pclRecord->bEquals(other->m_pclRecord)) return false;
  if (withMemos == 0) return true;
  return CNARecordMemo::g_bEqualsNARecordMemo(m_pclMemo, other->m_pclMemo);
}
