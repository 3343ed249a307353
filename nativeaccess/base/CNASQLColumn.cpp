#include "CNASQLColumn.h"

#include "CAny.h"
#include "CNAConvertVariant.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "CNAStatement.h"
#include "CNAXQRecord.h"
#include "INAItemDescription.h"

int CNASQLColumn::bSetValueFromDB(CNAStatement* statement, unsigned /*index*/) {
  CNAConvertVariant* pclValue = pclGetNAValue();
  INAItemDescription* piItem = piGetItemDescription();
  if (statement == nullptr || pclValue == nullptr || piItem == nullptr) return 0;
  const unsigned int nColumn = nGetPhysicalIndice();
  if (bIsMemo()) {
    SetNotModified();
    // The holder may have been left "not read yet" or of another type by
    // the previous row: the value read takes the item's platform type.
    if (pclValue->eGetVarType() != NAVT_ANY || pclValue->wGetTypeCode() != eGetTNType()) {
      pclValue->_SetVarType(NAVT_ANY);
      pclValue->SetItemDesc(piItem, piGetImportedItemDescNoRef());
      pclValue->pclGetValue()->__SetType(eGetTNType(), 0);
    }
    if (!statement->bGetSQLColumnValue(pclValue, nColumn)) {
      pclValue->SetNull();
      return 0;
    }
  } else if (!statement->bGetSQLColumnValue(pclValue, nColumn)) {
    return 0;
  }
  // The record's flag follows the value: a NULL read clears the item (a
  // previous row's flag must not survive), any other value defines it.
  CNARecord* pclRecord = pclGetRecord();
  CNAXQRecord* pclXQ = pclRecord != nullptr ? pclRecord->pclGetNAXQRecord() : nullptr;
  if (pclXQ != nullptr) pclXQ->SetItemValueDefined(piItem, pclValue->bIsNull() ? 0 : 1, 0);
  return 1;
}
