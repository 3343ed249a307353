// The client library's column descriptions (MYSQL_FIELD) as the statement
// reads them.
//
// The element of the array mysql_fetch_fields answers has grown with the
// client library: 48 bytes in the 3.x clients, 72 in 4.0, 120 in 4.1 to 5.0
// and 128 from 5.1 on, which is also the layout of the <mysql.h> this
// library is compiled with. Connector/C numbers its own releases (3.x) but
// always has the newest layout. The statement picks the layout once per
// result and reads each element with DecodeMySQLField, which copies the
// members out byte-wise (the old layouts are read at fixed offsets, the
// compiled one by offsetof), so no element is ever read as a structure it
// is not.
//
// This header names no client-library type: the one source that includes
// <mysql.h> keeps its declarations away from the loader's (which differ
// for the option enumeration).
#pragma once

#include <cstddef>
#include <cstdint>

enum eMYSQLFIELDLAYOUT : std::int32_t {
  MYSQLFIELD_LAYOUT_48 = 0,   // client 3.x: no character set, no flags read
  MYSQLFIELD_LAYOUT_72 = 1,   // client 4.0: no character set, no flags read
  MYSQLFIELD_LAYOUT_120 = 2,  // client 4.1 to 5.0
  MYSQLFIELD_LAYOUT_COMPILED = 3,  // client 5.1 and later, and Connector/C
};

// What the statement takes from one field description.
struct stMySQLField {
  const char* pszName = nullptr;  // the client's text, not copied
  std::int32_t nType = 0;         // MYSQL_TYPE_*
  std::uint64_t nLength = 0;      // declared length
  std::uint64_t nMaxLength = 0;   // longest value of a stored result
  std::uint32_t nDecimals = 0;
  std::uint32_t nFlags = 0;       // 0 when the layout carries none read here
  std::uint32_t nCharset = 0;     // 0 when the layout carries none
  bool bHasFlags = false;
  bool bHasCharset = false;
};

// The layout of a client library: Connector/C (bConnectorC) or a version of
// 5.1 and later the compiled one; else by the version numbers.
eMYSQLFIELDLAYOUT eChooseMySQLFieldLayout(bool bConnectorC, std::int32_t nMajor,
                                          std::int32_t nMinor);
// The byte size of one element in that layout.
std::size_t nMySQLFieldSize(eMYSQLFIELDLAYOUT eLayout);
// Reads element `index` of the array at `fields` (as mysql_fetch_fields
// answered it) into *out. The array must hold more than `index` elements.
void DecodeMySQLField(const void* fields, std::uint32_t index, eMYSQLFIELDLAYOUT eLayout,
                      stMySQLField* out);

// The client library's field flags the statement looks at.
constexpr std::uint32_t knMySQLFieldUnsigned = 32;  // UNSIGNED_FLAG
