// CStringParameter: one named value of a parameter text.
//
// A parameter text is a CTString of pairs "name=value" separated by ';'
// (spaces may surround the '=' and the pairs), such as the extended
// information of a connection description. The static operations find,
// read, cut out and replace a pair in such a text; an object remembers one
// key (not owned: the caller keeps it alive as long as the object) and the
// value it last read or was given, and can write that pair back into a
// connection string.
//
// Matching rules (shared by every operation):
// - The key is looked up without regard to case, as a substring anywhere in
//   the text: it need not start the text nor follow a ';' ("Server
//   Port=3306" answers the key "Port"). A hit counts only when the next
//   character that is not a space is '='; otherwise the search goes on one
//   character after the hit.
// - The value runs from the first character after '=' that is not a space
//   up to the character before the next ';' (or the end of the text).
// - A null or empty text or key never holds a pair.
//
// Texts handed in are owned by the caller; the value, the text and the
// connection string given to one call must be distinct objects.
#pragma once

#include "CTString.h"

class CStringParameter {
 public:
  // key is stored as given (not copied); value empty, not defined.
  explicit CStringParameter(const wchar_t* key);
  ~CStringParameter() = default;
  CStringParameter(const CStringParameter&) = delete;
  CStringParameter& operator=(const CStringParameter&) = delete;

  // Where the pair of `key` lies in `text`. Answers 1 when the pair exists,
  // else 0. keyPos is the index where the key begins, valueStart the index
  // of the value's first character, valueEnd the index of its last one
  // (inclusive; valueEnd < valueStart for an empty value, and valueStart may
  // then be the length of the text). Before the search keyPos is set to 0
  // and the two others to -1; they keep those values when nothing is found.
  static int _s_bGetParameterPos(long& keyPos, long& valueStart, long& valueEnd,
                                 CTString* text, const wchar_t* key);

  // Reads the value of `key` into *value (emptied first; trailing spaces
  // removed) and sets *found (when given) to whether the pair is present.
  // With `cut` non-zero the pair is also removed from `text`: from the key,
  // moved left over the spaces before it, to the end of the value, moved
  // right over every ';' and space that follow; then every leading ';' and
  // space of the text goes. (A last pair leaves the ';' before it: cutting
  // "Z" from "X=1;Z=3" leaves "X=1;".) Always answers 1.
  static int s_bGetParameterValue(CTString* value, int* found, CTString* text,
                                  const wchar_t* key, int cut);

  // 1 when the pair of `key` is present in `text`, else 0.
  static int s_bParameterDefined(CTString* text, const wchar_t* key);

  // Present pair: its whole value (trailing spaces included) becomes
  // `value` (null: empty). Absent: ";" (only when the text is not empty),
  // the key, "=" and the value are appended. Always answers 1; nothing for a
  // null text or a null or empty key.
  static int s_bReplaceParameterValue(CTString* text, const wchar_t* value, const wchar_t* key);

  // Reads this key's value from `text` (cutting it out with `cut`) into the
  // object: s_bGetParameterValue(&value, &defined, text, key, cut). The last
  // two arguments are not used.
  int bInitParameterValue(CTString* text, int cut, const wchar_t* unusedText = nullptr,
                          int unusedFlag = 0);

  // Null value: the value is emptied and the parameter is no longer defined.
  // Else the value becomes the whole text (length < 0) or its first
  // `length` characters (fewer when the text is shorter), less its trailing
  // spaces, and the parameter is defined (also when that leaves it empty).
  // The last two arguments are not used.
  void SetParameterValue(const wchar_t* value, long length, const wchar_t* unusedText = nullptr,
                         int unusedFlag = 0);

  // SetParameterValue, then a directory value gets its closing backslash:
  // one is appended when the value is not empty and does not end with one.
  void SetParameterValueRep(const wchar_t* value, long length);

  // When defined, appends to *cs ";" (only when cs is not empty), the key,
  // "=" and the value. Always answers 1. The last two arguments are not
  // used.
  int bCompleteConnectionString(CTString* cs, const wchar_t* unusedText = nullptr,
                                int unusedFlag = 0) const;

  const wchar_t* pszGetKey() const { return m_pszKey; }
  const CTString& clGetValue() const { return m_clValue; }
  const wchar_t* pszGetValue() const { return m_clValue.pszGet(); }
  // 1 when the key was found or a value was set, else 0.
  int bIsDefined() const { return m_bDefined; }

 private:
  const wchar_t* m_pszKey;
  CTString m_clValue;
  int m_bDefined = 0;
};
