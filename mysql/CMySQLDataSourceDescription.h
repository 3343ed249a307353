// CMySQLDataSourceDescription: the data-source description of the
// MariaDB/MySQL driver: a table opened by name is described from the
// server's catalogue.
//
// It supplies the four hooks through which the generic description reads a
// table (bInitDataSourceDescriptionFromDB): the column catalogue ("SHOW FULL
// COLUMNS FROM <table>" from server 4.1 on, "SHOW COLUMNS FROM <table>"
// before) read into one item per row, then the index catalogue ("SHOW INDEX
// FROM <table>") read into keys. The table name is formatted by the
// connection (between backquotes, an embedded backquote doubled).
//
// What the reading gives:
// - every column an item of the server's type (the collation makes text
//   types Unicode for ucs2 and utf8 sets), in catalogue order; a column
//   whose Null text is not exactly "YES" rejects NULL; its Default text
//   converted to the item's type becomes its default (NULL when the server
//   says NULL, and when the conversion refuses the text);
// - the table's automatic identifier (Key "PRI" with "auto_increment" in
//   Extra) becomes an IDAUTO4 item (4 bytes) or IDAUTO, primary and
//   ascending (0x8800), the first keys; every other key comes from the
//   index catalogue, in its order: a single-column index makes its column a
//   key (0xC800 for PRIMARY, 0x4800 unique, 0x2800 with duplicates; a
//   column already primary keeps its flags), a multi-column index a
//   composite key item (its flags with 0x1000) appended after the columns.
//   Every key is ascending; prefix lengths play no part.
//
// Failures: the reading ends with 0 on a failed catalogue query, a type
// text that does not convert, a failed value read, a composite index naming
// a column the table lacks, and on a fetch that fails (a connection lost
// mid-catalogue), whose error stays in the error object: only the end of
// the rows ends a reading with success. An index on one unknown column
// leaves the lookup's error in the error object and the reading goes on.
// What was added before a failure stays in the description.
//
// Ownership and counts: as CNADataSourceDescription; no member of its own.
// Used under the driver's process-wide lock.
#pragma once

#include <cstdint>

#include "CNADataSourceDescription.h"

class CNAConvertVariant;
class CNAItemDescription;
class CNAStatementSQL;

class CMySQLDataSourceDescription : public CNADataSourceDescription {
 public:
  // The base construction.
  CMySQLDataSourceDescription(CNAConnectionDescription* connection, CNAError* error);
  ~CMySQLDataSourceDescription() override;

  // Key flags of a column catalogue Key text: 0x8800 for one beginning
  // with "PRI", 0x4800 with "UNI" (case ignored), else 0 (null too).
  static std::uint16_t _nKeyType(const wchar_t* pszKey);

 protected:
  // Empties *pText and writes the column catalogue query: 1, also for an
  // empty formatted name (the prefix alone); 0 when the name cannot be
  // formatted.
  int _bGetQueryShowColumns(CXYStringConcat<wchar_t>* pText) override;
  // One item per row of the executed column catalogue (see above).
  int _bInitItemFromQueryShowColumns(CNAStatementSQL* pStatement) override;
  // Empties *pText and writes the index catalogue query, as above.
  int _bGetQueryShowIndex(CXYStringConcat<wchar_t>* pText) override;
  // Keys and composite keys from the rows of the executed index catalogue.
  int _bInitKeysFromQueryShowIndex(CNAStatementSQL* pStatement) override;

  // One step of the index grouping, run from the second row on: a new
  // index (bNewKey) closes the previous one (_bAddKeyDescription); a row of
  // the same index makes the index composite: the composite item is made
  // when none is being built (*ppComposite, one internal reference, key
  // index the current key count, flags nPreviousFlags | 0x1000) and the
  // previous row's column becomes its next component. The answer of the
  // step taken (0 without memory or for an unknown component).
  int _bInitKeyDescription(CNAItemDescription** ppComposite, const wchar_t* pszKeyName, int bNewKey,
                           const wchar_t* pszPreviousColumn, std::uint16_t nPreviousFlags);
  // Closes the key being built: with a composite, pszColumn becomes its
  // last component and, when that works, the composite is added as an item
  // (and key); the composite's reference is given back and *ppComposite
  // becomes null in every case; the answer is the component step's.
  // Without a composite the column becomes a key of nFlags; 1.
  int _bAddKeyDescription(CNAItemDescription** ppComposite, const wchar_t* pszColumn, std::uint16_t nFlags);

 private:
  // Writes `prefix` and the formatted database table name into *pText.
  int _bWriteCatalogueQuery(CXYStringConcat<wchar_t>* pText, const wchar_t* prefix);
  // A conversion variant from the process's driver, one reference held by
  // the caller; null (no-memory error when nothing said why) when none.
  CNAConvertVariant* _pclAllocVariant();
  // The item's default from the server's Default text (see above).
  void _SetDefault(CNAItemDescription* pclItem, const wchar_t* pszDefault);
};
