// The binary buffer made from an array of typed values: it lives with the
// typed values, so that the runtime foundation links without them.
#include <vector>

#include "CAny.h"
#include "CTNBIN.h"

int CTNBIN::nAssignInit(const STTabAny& stTab) {
  // Every element is read before anything is allocated: a value that is no
  // byte leaves the buffer as it was.
  std::vector<unsigned char> aby(stTab.nCount);
  for (std::uint32_t i = 0; i < stTab.nCount; ++i) {
    const int nResult = stTab.pclFirst[i].nGetBYTE(aby[i]);
    if (nResult != ANY_OK) return nResult;
  }
  return nAssignInit(aby.data(), static_cast<long>(aby.size()));
}
