// The map from item type to SQL type text that a connection uses to name
// the columns of the tables it creates, and two helpers of SQL text
// handling.
//
// CNATypeInfo: one row, a type text and whether it is a format whose
// placeholders are filled from the item ("VARCHAR(%d)"). A CInterf.
//
// CNAMapConvertType: the rows by item type, one internal reference held on
// each. _Init enters the default rows; a driver then replaces rows with its
// own names through Add. The map releases its rows when it goes.
//
// s_bEspaceSQL: the characters that count as white space in SQL text.
// eCheckValue: whether a search bound is its type's lowest or highest
// value (the platform's way of writing an open range).
//
// Not thread-safe: used under the driver's process-wide lock.
#pragma once

#include "CInterf.h"
#include "CRefHashTable.h"
#include "CTString.h"
#include "ItemTypes.h"

class CAny;
class INAItemDescription;

class CNATypeInfo : public CInterf {
 public:
  // A copy of pszType (null: empty); bPlaceholders non-zero when the text
  // is a format. No reference taken.
  CNATypeInfo(const wchar_t* pszType, int bPlaceholders);
  ~CNATypeInfo() override;

  // Writes the type for piItem into *pOut (both non-null): the text as it
  // stands, or the format filled from the item: HEURE its element size - 7
  // (0 when negative), DECIMAL integer + decimal digits then decimal
  // digits, any other type its logical size of one element.
  void Format(const INAItemDescription* piItem, CTString* pOut) const;

  const wchar_t* pszGetType() const { return m_sType.pszGet(); }
  int bHasPlaceholders() const { return m_bPlaceholders; }

 private:
  CTString m_sType;
  int m_bPlaceholders;
};
KX_CINTERF_REF_TRAITS(CNATypeInfo)

class CNAMapConvertType : public CNARefHashTable<eNA_ITEMTYPE, CNATypeInfo*> {
 public:
  // Empty, sized for 7 rows.
  CNAMapConvertType();
  ~CNAMapConvertType() override;

  // Enters the default rows, each as Add does.
  void _Init();
  // The row held for eType, if any, leaves the map and is released; a new
  // row with a copy of pszType and the flag takes its place (the map holds
  // its first reference). False, with the map unchanged, when it cannot
  // grow or the row cannot be made; the latter is remembered (see
  // bShortOfMemory).
  bool Add(eNA_ITEMTYPE eType, const wchar_t* pszType, int bPlaceholders);
  // Whether some Add failed for want of memory: the map then lacks rows and
  // is not to be kept.
  bool bShortOfMemory() const { return m_bShortOfMemory; }
  // The SQL type of piItem into *pOut, through the row of its item type
  // (held by a reference of its own during the call). False, *pOut
  // untouched, when there is no row (or piItem or pOut is null).
  bool bFormat(const INAItemDescription* piItem, CTString* pOut);

  // Tab, line feed, carriage return and space; nothing else.
  static bool s_bEspaceSQL(wchar_t c);

 private:
  bool m_bShortOfMemory = false;
};

// Answers of eCheckValue.
enum eNA_CHECKVALUE : int {
  NA_CHECKVALUE_ORDINARY = 0,
  NA_CHECKVALUE_LOWEST = 1,
  NA_CHECKVALUE_HIGHEST = 2,
};

// Whether *pValue is the lowest or highest value of its platform type.
// Ordinary (0) for null, NULL, codes above 129 and types without extremes.
// A date-time or duration carrying a mark beside its code counts as 0, so
// lowest; a marked integer or real, and the platform-width unsigned type
// (14), answer 0. A decimal is compared (runtime equality) with a decimal
// of its own precision and scale set to its minimum, then its maximum; any
// failure of that answers 0, as does a dynamic string without a buffer.
eNA_CHECKVALUE eCheckValue(const CAny* pValue);
