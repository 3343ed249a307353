// Atoms: process-wide numbers standing for names, under the Windows atom
// functions.
//
// The names are wide texts compared without regard to case (the STR_*
// comparison with flag 1). Each atom counts its references: adding a name
// that is already there (in any letter case) gives the same number and one
// more reference, and the atom goes away when DeleteAtom has been called as
// often as it was added. Numbers come from CAtom::gnId, start at 1 and are
// never reused; once 0xFFFF numbers have been given, new names are refused
// (AddAtom answers 0).
//
// The list is process-wide and takes no lock: use it from one thread. It
// owns its atoms and their name copies (XMALLOC_* blocks) and frees them
// when the module is unloaded.
#pragma once

#include <cstdint>

using ATOM = std::uint16_t;

struct CAtom {
  CAtom* pclNext;
  unsigned int nRefCount;
  ATOM nNumber;
  wchar_t* pszName;  // owned copy

  // The number the next new atom gets.
  static unsigned int gnId;
};

class CAtomList {
 public:
  CAtomList() = default;
  ~CAtomList();
  CAtomList(const CAtomList&) = delete;
  CAtomList& operator=(const CAtomList&) = delete;

  // See AddAtom, FindAtom, GetAtomName and DeleteAtom below.
  ATOM nAdd(const wchar_t* name);
  ATOM nFind(const wchar_t* name) const;
  unsigned int nGetName(ATOM number, wchar_t* buf, int size) const;
  ATOM nDelete(ATOM number);

  // The list of the process.
  static CAtomList& gclGet();

 private:
  CAtom* pclFindName(const wchar_t* name) const;

  CAtom* m_pclFirst = nullptr;
};

// The atom of `name` gets one more reference and its number is returned;
// without one, a new atom with the next number is appended. 0 for a null
// name, when memory is short or when the numbers are used up.
ATOM AddAtom(const wchar_t* name);

// The number of the atom of `name`; 0 when there is none.
ATOM FindAtom(const wchar_t* name);

// Copies at most size - 1 characters of the atom's name into `buf` and
// terminates it; returns the characters copied, min(length, size - 1).
// 0 (nothing written) when the atom is unknown or `size` is below 1.
unsigned int GetAtomName(ATOM number, wchar_t* buf, int size);

// One reference less; the atom is removed when none is left. 0, or `number`
// when no atom has that number.
ATOM DeleteAtom(ATOM number);
