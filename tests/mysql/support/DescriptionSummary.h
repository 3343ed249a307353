// A data-source description written as one line, for the tests that
// describe tables: each item as "name:TYPE/size", its key index and flags
// ("k1=4800") when it is a key, "nn" when it rejects NULL and its
// components ("(a+b)") when it is a composite key, then the keys in order.
// Every reference taken is given back.
#pragma once

#include <cstdio>
#include <string>

#include "CNAItemDescription.h"
#include "INADataSourceDescription.h"
#include "ItemTypes.h"
#include "mysql/support/LiveText.h"

namespace kxtest {

inline std::string DescriptionSummary(INADataSourceDescription* d) {
  std::string s;
  for (std::uint32_t i = 0; i < d->nGetNumItems(); ++i) {
    INAItemDescription* pi = d->piNAGetItem(i);
    if (pi == nullptr) return s + "<null item>";
    std::wstring sType = g_pszGetNAItemTypeName(pi->eNAGetItemType());
    if (sType.rfind(L"NA_IT_", 0) == 0) sType = sType.substr(6);
    s += Narrow(pi->pszGetName()) + ":" + Narrow(sType.c_str()) + "/" + std::to_string(pi->nGetItemSize());
    if (pi->nGetKeyIndice() >= 0) {
      char sz[16];
      const auto* pcl = dynamic_cast<CNAItemDescription*>(pi);
      std::snprintf(sz, sizeof sz, "%04X", pcl != nullptr ? static_cast<unsigned>(pcl->wGetKeyFlags()) : 0u);
      s += " k" + std::to_string(pi->nGetKeyIndice()) + "=" + sz;
    }
    if (!pi->vbConstraintNullAllowed()) s += " nn";
    const std::uint32_t nComponents = pi->nGetNumComponents();
    for (std::uint32_t n = 1; n <= nComponents; ++n) {
      INAItemDescription* pc = pi->piGetItemComponent(n);
      s += (n == 1 ? " (" : "+") + (pc != nullptr ? Narrow(pc->pszGetName()) : std::string("?"));
      if (pc != nullptr) pc->nExternalRelease();
      if (n == nComponents) s += ")";
    }
    s += "; ";
    pi->nExternalRelease();
  }
  s += "keys:";
  for (std::uint32_t i = 0; i < d->nGetNumKeys(); ++i) {
    INAItemDescription* pi = d->piNAGetKey(i);
    s += " " + (pi != nullptr ? Narrow(pi->pszGetName()) : std::string("?"));
    if (pi != nullptr) pi->nExternalRelease();
  }
  return s;
}

}  // namespace kxtest
