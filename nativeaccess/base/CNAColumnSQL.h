// CNAColumnSQL: the description of one column of a MariaDB/MySQL result
// set, as the statement fills it from the client library's field
// descriptions and later reads it back to type the fetched values.
//
// A plain record: no base class, every field public, empty or zero at
// construction. The name is a string the record owns (freed with it). The
// statement keeps one per result column in its column array and destroys
// them with it.
#pragma once

#include <cstdint>

#include "CTString.h"
#include "ItemTypes.h"

class CNAColumnSQL {
 public:
  CNAColumnSQL() = default;
  ~CNAColumnSQL() = default;
  CNAColumnSQL(const CNAColumnSQL&) = delete;
  CNAColumnSQL& operator=(const CNAColumnSQL&) = delete;

  // The column's name in the result.
  CTString m_csName;
  // The declared length (characters or bytes, as the server announces it).
  std::int64_t m_nLength = 0;
  // The element size the item gets in the native record.
  std::uint32_t m_nItemSize = 0;
  // Digits before and after the decimal point.
  std::int32_t m_nIntegerPart = 0;
  std::int32_t m_nDecimalPart = 0;
  // The client library's type number (MYSQL_TYPE_*).
  std::uint32_t m_nMySQLType = 0;
  // The client library's field flags (NOT NULL, primary key, unsigned,
  // binary, auto increment ...).
  std::uint32_t m_nFlags = 0;
  // The character-set number of the column's text.
  std::uint32_t m_nCharsetNumber = 0;
  // The item type the column's values take in the native record.
  eNA_ITEMTYPE m_eItemType = NA_IT_EMPTY;
  // What a description of the result takes over (empty or 0 when the
  // driver does not know): the server's type text, the key flags (those of
  // an item description), the table the column comes from and the column's
  // name there.
  CTString m_csDBTypeName;
  std::uint16_t m_wKeyFlags = 0;
  CTString m_csSourceTableName;
  CTString m_csNameInSource;
};
