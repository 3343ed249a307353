// CTabValParser: the stand-in for the SQL runtime's parameter list of one
// query, as the library reads it in a query dump: a 32-bit parameter count
// at byte 20 and, at byte 40, the address of an array of pointers to the
// parameters; each parameter holds its typed value (type code and value) at
// byte 8, the position of its marker in the query text at 64 and the
// marker's length at 68 (32-bit, in characters), and 32-bit flags at 72
// (bit 0: the value names a file whose content is the parameter; with bit 4
// as well the file is read as text, else as binary). The driver-level
// statement and the query dump read exactly these bytes.
//
// Header only, so that any test or host program can build one without
// linking the stand-in runtime. The list owns its parameters; each value
// starts empty (type 0) and is set through pclGetValue; markers and flags
// start at 0 and are set through SetMarker and SetFlags (any value, as a
// careless runtime could write them). Not copyable.
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
  // Parameter i's marker: position and length in characters of the text.
  void SetMarker(std::size_t i, std::int32_t position, std::int32_t length) {
    std::memcpy(m_vecEntries[i].aby + knMarkerOffset, &position, sizeof position);
    std::memcpy(m_vecEntries[i].aby + knLengthOffset, &length, sizeof length);
  }
  void SetFlags(std::size_t i, std::uint32_t flags) {
    std::memcpy(m_vecEntries[i].aby + knFlagsOffset, &flags, sizeof flags);
  }
  // Lowers the count the head announces (at most the entries made: the
  // array is read up to the count).
  void SetCount(std::uint32_t count) {
    if (count > m_vecEntries.size()) count = static_cast<std::uint32_t>(m_vecEntries.size());
    std::memcpy(m_abyHead + knCountOffset, &count, sizeof count);
  }
  // Leaves a hole in the array: entry i's pointer becomes null.
  void DropEntry(std::size_t i) { m_vecPointers[i] = nullptr; }

 private:
  struct Entry {
    alignas(8) unsigned char aby[knEntrySize] = {};
    CAny* pclValue() { return std::launder(reinterpret_cast<CAny*>(aby + knValueOffset)); }
  };
  static_assert(knCountOffset == 20, "the count is at byte 20 of the table");
  static_assert(knArrayOffset == 40, "the entry array is at byte 40 of the table");
  static_assert(knValueOffset == 8, "an entry's value is at byte 8");
  static_assert(knMarkerOffset == 64, "an entry's marker position is at byte 64");
  static_assert(knLengthOffset == 68, "an entry's marker length is at byte 68");
  static_assert(knFlagsOffset == 72, "an entry's flags are at byte 72");
  static_assert(knValueOffset + sizeof(CAny) <= knMarkerOffset, "a value fits before the marker");
  static_assert(knFlagsOffset + sizeof(std::uint32_t) <= knEntrySize, "the flags fit in an entry");
  static_assert(knArrayOffset + sizeof(void*) <= 48, "the array pointer fits in the head");

  // The runtime's head: the object's first bytes.
  alignas(8) unsigned char m_abyHead[48] = {};
  std::vector<Entry> m_vecEntries;
  std::vector<unsigned char*> m_vecPointers;
};
