// What the column and record-layout tests build on:
//
// - PlainDriver: a concrete driver that keeps the library's own factories
//   (variants, columns, error objects: slots 44, 50, 52); only the slots the
//   base leaves abstract are given (no statement; TestConnection objects).
// - DriverScope<D>: a driver of type D as the process's driver for a scope.
// - TenItems: a description of ten items laid out as the runtime lays them
//   out: a text, a UNICODE, a binary string, an I4, a decimal, a DATE8, an
//   HEURE, a text memo, an automatic identifier, and a unique composite key
//   over the text, UNICODE, binary and decimal items, sized as the runtime
//   sizes it (text S - 1, UNICODE S - 2, binary and decimal S) and holding
//   no place in the record (physical index all ones).
// - Layout: a record layout over a description, its data access and a
//   test connection, released at the end.
//
// Header only; needs no stand-in library.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "CNAColumn.h"
#include "CNAConnectionDescription.h"
#include "CNADataAccess.h"
#include "CNADriver.h"
#include "CNADriverLock.h"
#include "CNAError.h"
#include "CNAItemDescription.h"
#include "CNARecord.h"
#include "TestConnection.h"
#include "TestLayoutDoubles.h"
#include "TestRecordSource.h"

namespace kxtest {

class PlainDriver : public CNADriver {
 public:
  PlainDriver() = default;
  ~PlainDriver() override { _Term(); }
  CNAStatement* pclAllocStatement(CNADataAccess*, CNAConnectionDescription*, CNAError*) override { return nullptr; }
  CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* identification,
                                                           INAConnectionDescription* cnx) override {
    return new TestConnection(cnx, identification);
  }
};

template <class D>
class DriverScope {
 public:
  DriverScope() {
    CNADriverLock clLock;
    m_pclDriver = new D();
    m_pclDriver->bInitDriver();
    m_pclPrevious = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = m_pclDriver;
  }
  ~DriverScope() {
    CNADriverLock clLock;
    delete m_pclDriver;
    CNADriver::s_pclDriver = m_pclPrevious;
  }
  D* operator->() const { return m_pclDriver; }
  D* get() const { return m_pclDriver; }

 private:
  D* m_pclDriver;
  CNADriver* m_pclPrevious;
};

struct TenItems {
  TestRecordSource src;
  CNAItemDescription* text = nullptr;
  CNAItemDescription* unicode = nullptr;
  CNAItemDescription* binary = nullptr;
  CNAItemDescription* i4 = nullptr;
  CNAItemDescription* decimal = nullptr;
  CNAItemDescription* date8 = nullptr;
  CNAItemDescription* heure = nullptr;
  CNAItemDescription* memo = nullptr;
  CNAItemDescription* idauto = nullptr;
  CNAItemDescription* key = nullptr;

  // bRuntimeSized: the key's size as the runtime gives it; else as the
  // library's own descriptions sum it (2 bytes short per binary component).
  explicit TenItems(bool bRuntimeSized = true) {
    text = src.pclAdd(NA_IT_TEXTE, 11, 1, CNAItemDescription::KEY_DUPLICATES);
    unicode = src.pclAdd(NA_IT_UNICODE, 12);
    binary = src.pclAdd(NA_IT_BINAIRE, 10);
    i4 = src.pclAdd(NA_IT_I4, 4);
    decimal = src.pclAdd(NA_IT_DECIMAL, CNAItemDescription::s_nGetDecimalSize(12), 1, 0, 10, 2);
    date8 = src.pclAdd(NA_IT_DATE8, 9);
    heure = src.pclAdd(NA_IT_HEURE, 10);
    memo = src.pclAdd(NA_IT_MEMOTEXTE, 8);
    idauto = src.pclAdd(NA_IT_IDAUTO, 8);
    // The composite key takes no room in the record: laid out last, its
    // start-up size taken back, no flag bit of its own.
    const std::uint32_t nStart = bRuntimeSized ? 2 : 0;
    key = src.pclAdd(NA_IT_BINAIRE, nStart, 1,
                     CNAItemDescription::KEY_COMPOSED | CNAItemDescription::KEY_UNIQUE);
    src.nDiskRecordSize -= nStart;
    src.nItemsInRecord -= 1;
    key->SetPhysicalIndice(0xFFFFFFFFu);
    key->bAddComponent(text);
    key->bAddComponent(unicode);
    key->bAddComponent(binary);
    key->bAddComponent(decimal);
  }
  // Width of the key as the runtime sizes it.
  std::uint32_t nRuntimeKeySize() const {
    return 10 + 10 + 10 + CNAItemDescription::s_nGetDecimalSize(12);
  }
};

// A counted object made on the heap and held by the test for its scope
// (the library's holders release theirs without deleting it under the
// test).
template <class T>
class Held {
 public:
  template <class... A>
  explicit Held(A&&... a) : m_p(new T(std::forward<A>(a)...)) {
    m_p->AddRef();
  }
  ~Held() { m_p->nRelease(); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  T* operator->() const { return m_p; }
  T* get() const { return m_p; }

 private:
  T* m_p;
};

// A record layout over `source` for a data access on `connection` (may be
// null), built by bInitRecord; `database` is the server's description (may
// be null).
class Layout {
 public:
  Layout(INADataSourceDescription* source, CNAConnectionDescription* connection,
         CNADataSourceDescription* database = nullptr, bool bInit = true)
      : m_clAccess(source, connection, nullptr) {
    m_clAccess.AddRef();  // the test owns it; no release may delete it
    m_pclError = new CNAError();
    m_pclError->AddRef();
    m_pclRecord = new CNARecord(m_pclError, &m_clAccess);
    m_pclRecord->AddRef();
    if (bInit) bInitResult = m_pclRecord->bInitRecord(source, database, connection);
  }
  ~Layout() {
    if (m_pclRecord != nullptr) m_pclRecord->nRelease();
    m_pclError->nRelease();
  }
  // Ends the layout now (its destructor runs).
  void Release() {
    m_pclRecord->nRelease();
    m_pclRecord = nullptr;
  }
  CNARecord* operator->() const { return m_pclRecord; }
  CNARecord* get() const { return m_pclRecord; }
  CNADataAccess& access() { return m_clAccess; }
  CNAError* error() const { return m_pclError; }
  // The column of an item description.
  CNAColumn* col(INAItemDescription* pi) const { return m_pclRecord->pclGetColumnNoRef(pi); }

  int bInitResult = 0;

 private:
  CNADataAccess m_clAccess;
  CNAError* m_pclError = nullptr;
  CNARecord* m_pclRecord = nullptr;
};

}  // namespace kxtest
