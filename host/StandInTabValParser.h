// CTabValParser: the stand-in for the SQL runtime's parameter list of one
// query, as the library reads it in a query dump: a 32-bit parameter count
// at byte 20 and, at byte 40, the address of an array of pointers to the
// parameters; each parameter holds its typed value (type code and value) at
// byte 8, a marker at 64, a length at 68 and flags at 72.
//
// Header only, so that any test or host program can build one without
// linking the stand-in runtime. The list owns its parameters; each value
// starts empty (type 0) and is set through pclGetValue. Not copyable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "CAny.h"

class CTabValParser {
 public:
  static constexpr std::size_t knCountOffset = 20;
  static constexpr std::size_t knArrayOffset = 40;
  static constexpr std::size_t knValueOffset = 8;
  static constexpr std::size_t knMarkerOffset = 64;
  static constexpr std::size_t knLengthOffset = 68;
  static constexpr std::size_t knFlagsOffset = 72;
  static constexpr std::size_t knEntrySize = 80;

  explicit CTabValParser(std::size_t count) : m_vecEntries(count), m_vecPointers(count) {
    for (std::size_t i = 0; i < count; ++i) {
      m_vecPointers[i] = m_vecEntries[i].aby;
      new (m_vecEntries[i].aby + knValueOffset) CAny();
    }
    const auto nCount = static_cast<std::uint32_t>(count);
    std::memcpy(m_abyHead + knCountOffset, &nCount, sizeof nCount);
    unsigned char** ppArray = m_vecPointers.empty() ? nullptr : m_vecPointers.data();
    std::memcpy(m_abyHead + knArrayOffset, &ppArray, sizeof ppArray);
  }
  ~CTabValParser() {
    for (Entry& e : m_vecEntries) e.pclValue()->~CAny();
  }
  CTabValParser(const CTabValParser&) = delete;
  CTabValParser& operator=(const CTabValParser&) = delete;

  std::uint32_t nGetCount() const {
    std::uint32_t n = 0;
    std::memcpy(&n, m_abyHead + knCountOffset, sizeof n);
    return n;
  }
  // The value of parameter i (below the count).
  CAny* pclGetValue(std::size_t i) { return m_vecEntries[i].pclValue(); }

 private:
  struct Entry {
    alignas(8) unsigned char aby[knEntrySize] = {};
    CAny* pclValue() { return std::launder(reinterpret_cast<CAny*>(aby + knValueOffset)); }
  };
  static_assert(knValueOffset + sizeof(CAny) <= knMarkerOffset, "a value fits before the marker");

  // The runtime's head: the object's first bytes.
  alignas(8) unsigned char m_abyHead[48] = {};
  std::vector<Entry> m_vecEntries;
  std::vector<unsigned char*> m_vecPointers;
};
