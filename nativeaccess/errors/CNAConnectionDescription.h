// CNAConnectionDescription: the description of one database connection
// (connection string, extended keys, dialect answers, connection errors).
//
// Only what the error object and the item descriptions need is declared
// here; the connection layer completes the class. What exists now:
// - AddInfoNativeXError: writes into an error what the connection knows of
//   its server and client library; the base writes nothing.
// - bDBTypeUnkwnownByDB: whether the database does not know a type code; the
//   base answers false.
// - pszGetDataBase: the data source the connection is made to. Until the
//   connection reads it from the runtime's description, it answers the text
//   given to SetDataBase (null when none was given).
//
// A CInterf: counted by its internal references; the error object and the
// descriptions only borrow it for the length of a call.
#pragma once

#include "CInterf.h"
#include "CTString.h"

class _CXErrorModule76;

class CNAConnectionDescription : public CInterf {
 public:
  CNAConnectionDescription() = default;
  ~CNAConnectionDescription() override;

  // Adds the connection's native information items to *pclErr (never
  // null when called by the library). The base adds nothing.
  virtual void AddInfoNativeXError(_CXErrorModule76* pclErr);
  // True when the database does not know the type code. The base: false.
  virtual int bDBTypeUnkwnownByDB(int nType) const;

  // The data source's name; null when none is known. Valid until the next
  // SetDataBase or the object's end.
  const wchar_t* pszGetDataBase() const;
  // Replaces the data source's name (a copy; null forgets it).
  void SetDataBase(const wchar_t* pszDataBase);

 private:
  CTString m_csDataBase;
  bool m_bHasDataBase = false;
};
KX_CINTERF_REF_TRAITS(CNAConnectionDescription)
