// The runtime type code of a described item, beside the item-type maps.
#include "INAItemDescription.h"
#include "ItemTypes.h"

unsigned short ConverteItemToTNType(const INAItemDescription* piDescription) {
  if (piDescription == nullptr) return 0;
  const eNA_ITEMTYPE eType = piDescription->eNAGetItemType();
  // The size is asked as the runtime's own conversion does; the map does
  // not depend on it.
  (void)piDescription->nGetItemSize();
  return ConverteItemToTNType(eType, 0);
}
