// CNAParameter: one query parameter, a value with the place it takes in a
// command's text, the column or item it is compared with, its options and
// its direction.
//
// The command builder keeps its parameters in text order and writes each
// one's value as an SQL literal when it builds the text it sends; searches,
// filters and the platform's named bind variables make parameters too.
//
// Ownership: a CInterf (counts 0 at construction; the maker takes the first
// reference). It holds one internal reference on its value and on its
// column, and one external reference (ExternalAddRef) on its item; each
// setter takes the new reference before giving back the old one, so a
// value set twice survives. The value object is shared by a clone.
//
// No lock of its own: used under the driver's process-wide lock.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CTString.h"
#include "ItemTypes.h"

class CAny;
class CNAColumn;
class CNAConvertVariant;
class CNADriver;
class CNAError;
class INAItemDescription;
class INAQueryParametersValue;
template <typename T>
class CXYStringConcat;

class CNAParameter : public CInterf {
 public:
  // The direction bits.
  enum eNAPARAMETERINOUT : std::int32_t {
    NAPARAM_IN = 1,
    NAPARAM_OUT = 2,
    NAPARAM_RETURN = 4,
  };
  // Option bits.
  static constexpr unsigned int knOptionFile = 0x1;          // the value names a file to load
  static constexpr unsigned int knOptionFileText = 0x10;     // with 0x1: load it as 8-bit text
  static constexpr unsigned int knOptionBindVariable = 0x10000;  // named bind variable of a parsed query
  static constexpr unsigned int knOptionCursor = 0x20000;    // cursor parameter
  static constexpr unsigned int knOptionLike = 0x40000;      // the value is a LIKE pattern

  // Holds `value` (may be null); no column, no item, direction IN, escape
  // character 0 (backslash), operator -1, value mark clear. `name` may be
  // null (no name).
  CNAParameter(CNAConvertVariant* value, unsigned long position, unsigned int options, const wchar_t* name);
  ~CNAParameter() override;

  // A new parameter with the same value object, position, options, name,
  // column, item and LIKE escape character (operator code, value mark and
  // direction are the maker's defaults). Made through the driver that made
  // this one (else the process's driver, else directly); it carries one
  // reference for the caller. Null when it cannot be made.
  virtual CNAParameter* pclGetClone();

  // ---- Column and item ------------------------------------------------------
  // Holds `column` (may be null; the previous one released afterwards) and
  // makes its item description the parameter's item.
  void SetColum(CNAColumn* column);
  // Replaces the item (external reference taken on the new one first).
  void SetItem(INAItemDescription* item);

  // ---- Value ----------------------------------------------------------------
  // The value's bSetValue; false without a value.
  int bSetValue(CAny* value);
  // The value's text is a file path; loads the file into the value (binary,
  // or 8-bit text when both 0x1 and 0x10 are set); on success clears 0x1.
  // The failure is reported into `error`.
  int bLoadFile(CNAError* error);

  // ---- Item type questions (false without an item) ----------------------------
  int bIsDate() const;
  int bIsText() const;
  int bIsTextUnicode() const;
  // The column's case-insensitivity, else the item's, else false.
  int bCaseInSensitiveLIKE() const;
  // Type, size (the result: non-zero size), logical size (-1 for a memo),
  // precision and scale from the value's item description, else from the
  // column's imported one; false without a description. Any output may be
  // null.
  int bGetDBType(eNA_ITEMTYPE* type, int* size, int* logicalSize, int* precision, int* scale) const;
  // The database type and the analysis type: from the column (true), else
  // from the value (true when either is set). Null outputs are skipped.
  int bGetTNTypeInfo(eNA_ITEMTYPE* database, eNA_ITEMTYPE* analysis) const;

  // ---- Comparison and description --------------------------------------------
  // Whether the platform gives this parameter's name as an output (2 or 3).
  int bIsParamOUT(INAQueryParametersValue* values) const;
  // Same object, or equal position, options, values, column names, item
  // names, escape character, value mark and direction.
  int bEqualsParameter(CNAParameter* other) const;
  // *out = "(" the set direction bits as "IN", "OUT", "RETURN" joined by
  // "|" ")".
  void TypeParam2String(CXYStringConcat<wchar_t>* out) const;

  // ---- Fields -----------------------------------------------------------------
  CNAConvertVariant* pclGetValue() const { return m_pclValue; }
  std::uint64_t nGetPosition() const { return m_nPosition; }
  void SetPosition(std::uint64_t position) { m_nPosition = position; }
  unsigned int nGetOptions() const { return m_nOptions; }
  void SetOptions(unsigned int options) { m_nOptions = options; }
  CNAColumn* pclGetColumn() const { return m_pclColumn; }
  const wchar_t* pszGetName() const { return m_csName.pszGet(); }
  INAItemDescription* piGetItem() const { return m_piItem; }
  // The LIKE escape character (0: the backslash).
  wchar_t cGetEscape() const { return static_cast<wchar_t>(m_nEscape); }
  void SetEscape(wchar_t escape) { m_nEscape = static_cast<std::int32_t>(escape); }
  // The operator code of the condition the value belongs to (-1: none).
  std::int32_t nGetOperator() const { return m_nOperator; }
  void SetOperator(std::int32_t op) { m_nOperator = op; }
  // The value mark: set, the parameter's value is refreshed by the platform
  // itself, and a rebuild only raises the variant's refresh flag.
  std::int32_t bGetValueMark() const { return m_bValueMark; }
  void SetValueMark(std::int32_t mark) { m_bValueMark = mark; }
  std::int32_t eGetDirection() const { return m_eDirection; }
  void SetDirection(std::int32_t direction) { m_eDirection = direction; }
  // The driver whose factory made this parameter (may be null).
  void SetDriver(CNADriver* driver) { m_pclDriver = driver; }

 private:
  CNAConvertVariant* m_pclValue = nullptr;
  std::uint64_t m_nPosition = 0;
  std::uint32_t m_nOptions = 0;
  CNAColumn* m_pclColumn = nullptr;
  CTString m_csName;
  INAItemDescription* m_piItem = nullptr;
  std::int32_t m_nEscape = 0;
  std::int32_t m_nOperator = -1;
  std::int32_t m_bValueMark = 0;
  std::int32_t m_eDirection = NAPARAM_IN;
  CNADriver* m_pclDriver = nullptr;
};
KX_CINTERF_REF_TRAITS(CNAParameter)
