// CNAFilterSave: a filter (CNAFilter) kept with whether it was active when it
// was kept, so that a saved position or a table cache can later tell whether
// the filter in force is still the same one.
//
// A plain value. It holds one internal reference on the kept filter (none
// when it keeps no filter); copies take their own reference. Every setter
// takes the new reference before it gives back the old one, so keeping the
// filter already kept (or a copy of itself) never frees it on the way.
//
// Not thread-safe: used under the driver's process-wide lock.
#pragma once

#include <cstdint>

class CNAFilter;

class CNAFilterSave {
 public:
  // Keeps nothing (inactive).
  CNAFilterSave() = default;
  // As SetFilter(filter).
  explicit CNAFilterSave(CNAFilter* filter);
  CNAFilterSave(const CNAFilterSave& other);
  CNAFilterSave& operator=(const CNAFilterSave& other);
  // Gives back the kept filter.
  ~CNAFilterSave();

  // Keeps `filter` (a reference) and records whether it is active now; the
  // previous one is given back. Null keeps nothing and records inactive.
  void SetFilter(CNAFilter* filter);
  // Takes the other's filter (a reference of its own) and active flag.
  void Copy(const CNAFilterSave& other);
  // Whether `filter` (may be null) equals the kept one: false when the
  // recorded active flag differs from whether `filter` exists and is
  // active; true when both are inactive; otherwise CNAFilter's
  // g_bEqualsFilter of the kept and the given filter.
  int bFilterEquals(const CNAFilter* filter) const;

  CNAFilter* pclGetFilterNoRef() const { return m_pclFilter; }
  // Whether the kept filter was active when it was kept.
  int bIsActive() const { return m_bActive; }

 private:
  CNAFilter* m_pclFilter = nullptr;
  std::int32_t m_bActive = 0;
};
