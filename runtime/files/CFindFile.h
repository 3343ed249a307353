// CFindFile: one directory search (find-first / find-next) owned by an
// object, over CDiskFile::bFindFirst, bFindNext and bFindClose.
//
// The object holds one CDiskFile::_stXFINDDATA, zero-filled ("no search")
// when made and after TransfertTo. The open directory of a running search
// belongs to the object: the destructor closes it without reporting. The
// current entry (name, attribute word, size, last-write time) is read from
// stGetData() after a successful bFindFirst or bFindNext.
#pragma once

#include "CDiskFile.h"

class CXError;

class CFindFile {
 public:
  CFindFile();
  ~CFindFile();
  CFindFile(const CFindFile&) = delete;
  CFindFile& operator=(const CFindFile&) = delete;

  // CDiskFile::bFindFirst on this object's search.
  bool bFindFirst(const wchar_t* pattern, int required, int excluded, CXError* error);
  // CDiskFile::bFindNext.
  bool bFindNext(CXError* error);
  // CDiskFile::bFindClose.
  bool bFindClose(CXError* error);
  // Closes `other`'s search, hands this search over to it and leaves this
  // object with none. Nothing when `other` is this object.
  void TransfertTo(CFindFile& other);

  const CDiskFile::_stXFINDDATA& stGetData() const { return m_stData; }

 private:
  CDiskFile::_stXFINDDATA m_stData;
};
