// Decoding of the client library's field descriptions in their four
// layouts. The only source of the library that includes <mysql.h>.
#include "CMySQLStatementSQLFields.h"

#include <mariadb/mysql.h>

#include <cstring>

// The layout this library is built against is the newest one: a header of
// another size would make every offset below wrong.
static_assert(sizeof(MYSQL_FIELD) == 128, "MYSQL_FIELD is not the 128-byte layout");
static_assert(sizeof(void*) == 8, "the field layouts are those of a 64-bit process");

namespace {

template <typename T>
T Read(const unsigned char* element, std::size_t offset) {
  T value{};
  std::memcpy(&value, element + offset, sizeof(T));
  return value;
}

// Members of the older layouts: name (a pointer at 0), then these offsets.
struct stOldLayout {
  std::size_t nSize;
  std::size_t nType;
  std::size_t nLength;
  std::size_t nMaxLength;
  std::size_t nDecimals;
  bool bWide;  // lengths as 64-bit (4.0 on) rather than 32-bit (3.x)
};
constexpr stOldLayout kstLayout48 = {48, 24, 28, 32, 40, false};
constexpr stOldLayout kstLayout72 = {72, 64, 40, 48, 60, true};
// 4.1 to 5.0: the compiled layout's members at the same places, 8 bytes
// shorter (no extension pointer at the end).
constexpr std::size_t knFlags120 = 100;
constexpr std::size_t knCharset120 = 108;
constexpr stOldLayout kstLayout120 = {120, 112, 56, 64, 104, true};

}  // namespace

eMYSQLFIELDLAYOUT eChooseMySQLFieldLayout(bool bConnectorC, std::int32_t nMajor,
                                          std::int32_t nMinor) {
  if (bConnectorC || nMajor > 5 || (nMajor == 5 && nMinor >= 1)) return MYSQLFIELD_LAYOUT_COMPILED;
  if (nMajor < 4) return MYSQLFIELD_LAYOUT_48;
  if (nMajor == 4 && nMinor == 0) return MYSQLFIELD_LAYOUT_72;
  return MYSQLFIELD_LAYOUT_120;
}

std::size_t nMySQLFieldSize(eMYSQLFIELDLAYOUT eLayout) {
  switch (eLayout) {
    case MYSQLFIELD_LAYOUT_48: return kstLayout48.nSize;
    case MYSQLFIELD_LAYOUT_72: return kstLayout72.nSize;
    case MYSQLFIELD_LAYOUT_120: return kstLayout120.nSize;
    case MYSQLFIELD_LAYOUT_COMPILED: break;
  }
  return sizeof(MYSQL_FIELD);
}

void DecodeMySQLField(const void* fields, std::uint32_t index, eMYSQLFIELDLAYOUT eLayout,
                      stMySQLField* out) {
  *out = stMySQLField();
  const unsigned char* p =
      static_cast<const unsigned char*>(fields) + nMySQLFieldSize(eLayout) * index;
  if (eLayout == MYSQLFIELD_LAYOUT_COMPILED) {
    out->pszName = Read<const char*>(p, offsetof(MYSQL_FIELD, name));
    out->nType = static_cast<std::int32_t>(Read<enum enum_field_types>(p, offsetof(MYSQL_FIELD, type)));
    out->nLength = Read<unsigned long>(p, offsetof(MYSQL_FIELD, length));
    out->nMaxLength = Read<unsigned long>(p, offsetof(MYSQL_FIELD, max_length));
    out->nDecimals = Read<unsigned int>(p, offsetof(MYSQL_FIELD, decimals));
    out->nFlags = Read<unsigned int>(p, offsetof(MYSQL_FIELD, flags));
    out->nCharset = Read<unsigned int>(p, offsetof(MYSQL_FIELD, charsetnr));
    out->bHasFlags = true;
    out->bHasCharset = true;
    return;
  }
  const stOldLayout& st = eLayout == MYSQLFIELD_LAYOUT_48   ? kstLayout48
                          : eLayout == MYSQLFIELD_LAYOUT_72 ? kstLayout72
                                                            : kstLayout120;
  out->pszName = Read<const char*>(p, 0);
  out->nType = Read<std::int32_t>(p, st.nType);
  if (st.bWide) {
    out->nLength = Read<std::uint64_t>(p, st.nLength);
    out->nMaxLength = Read<std::uint64_t>(p, st.nMaxLength);
  } else {
    out->nLength = Read<std::uint32_t>(p, st.nLength);
    out->nMaxLength = Read<std::uint32_t>(p, st.nMaxLength);
  }
  out->nDecimals = Read<std::uint32_t>(p, st.nDecimals);
  if (eLayout == MYSQLFIELD_LAYOUT_120) {
    out->nFlags = Read<std::uint32_t>(p, knFlags120);
    out->nCharset = Read<std::uint32_t>(p, knCharset120);
    out->bHasFlags = true;
    out->bHasCharset = true;
  }
}

// The 120-byte layout is the compiled one without its last member: the
// offsets read above must be those of the header.
static_assert(offsetof(MYSQL_FIELD, flags) == knFlags120, "flags moved");
static_assert(offsetof(MYSQL_FIELD, charsetnr) == knCharset120, "charsetnr moved");
static_assert(offsetof(MYSQL_FIELD, length) == kstLayout120.nLength, "length moved");
static_assert(offsetof(MYSQL_FIELD, max_length) == kstLayout120.nMaxLength, "max_length moved");
static_assert(offsetof(MYSQL_FIELD, decimals) == kstLayout120.nDecimals, "decimals moved");
static_assert(offsetof(MYSQL_FIELD, type) == kstLayout120.nType, "type moved");
