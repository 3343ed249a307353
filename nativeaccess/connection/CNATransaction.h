// CNATransaction: one named transaction of a connection, with at most one
// nested transaction below it, so that a connection's open transactions form
// a chain from the outermost (nested flag 0) to the innermost.
//
// The connection creates the outermost object on its first begin
// (pclAllocTransaction) and keeps it for its life; each nested object is
// created by its parent on first need and reused for later nested begins.
// The server's statements go through three overridable hooks:
// - the outermost transaction (nested flag 0), and every transaction of a
//   connection whose kind is not the MariaDB/MySQL one, calls the
//   connection's bTransactionBeginDirect / CommitDirect / RollBackDirect
//   (BEGIN, COMMIT, ROLLBACK);
// - a nested transaction of a MariaDB/MySQL connection (kind 5) sends
//   SAVEPOINT, RELEASE SAVEPOINT and ROLLBACK TO SAVEPOINT with an
//   identifier of its own (its depth in the chain, quoted by the
//   connection), never the caller's name: a second BEGIN on that server
//   would silently commit the enclosing transaction.
//
// Ownership: a CInterf. The connection holds one internal reference on the
// outermost object; each object holds one internal reference on its nested
// object and releases it when destroyed. The connection pointer is borrowed
// (not counted): the connection outlives its transactions. Destroying a
// transaction never rolls back.
//
// Errors: refusals are user errors of this library with the native-code
// item set to the user error code, handed to the error object (type 0, with
// the connection); without an error object they are formatted and dropped,
// and the result is false all the same. A null error is accepted everywhere.
//
// No lock of its own: used under the driver's process-wide lock.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CTString.h"

class CNAConnectionDescription;
class CNAError;

class CNATransaction : public CInterf {
 public:
  // Counts 0, empty name, no nested transaction, both flags 0, depth 0.
  explicit CNATransaction(CNAConnectionDescription* pclConnection);
  // Releases the nested object's reference (destroying it when that was the
  // last); sends nothing.
  ~CNATransaction() override;

  // Hooks for detaching, activating and resuming; the base does nothing
  // and answers true.
  virtual int bDetach(CNAError* pclError);
  virtual int bSetActive(CNAError* pclError, int bActive);
  virtual int bResume(CNAError* pclError);

  // Stores the name (null: empty) and the nested flag, runs _bNABegin and
  // keeps its result as the active flag. Returns that result.
  int bBegin(CNAError* pclError, const wchar_t* pszName, int bNested);
  // Begins a transaction below the innermost active one of the chain that
  // starts here: that one's nested object (created on first need, reused
  // when inactive) runs bBegin(error, name, 1). False with the out-of-memory
  // error when no object can be made.
  int bInternalTransactionBegin(CNAError* pclError, const wchar_t* pszName);

  // Commits by name (compared without regard to case) or, with a null or
  // empty name, the innermost active transaction. A named commit of a
  // transaction with an active nested one is user error 10 (both names) and
  // changes nothing; a name that matches nothing is false without an error.
  int bCommit(CNAError* pclError, const wchar_t* pszName);
  // Rolls back by name or, with a null or empty name, the innermost active
  // transaction. A named rollback of a transaction with an active nested
  // one rolls back the nested chain and then this one (bRollBackAll): true
  // only when every part succeeds. A name that matches nothing is user
  // error 9 (the name).
  int bRollBack(CNAError* pclError, const wchar_t* pszName);
  // Rolls back the active nested chain (innermost first), then this one;
  // true only when both succeed.
  int bRollBackAll(CNAError* pclError);

  // Clears the active flag, then _bNACommit; its result.
  int _bCommit(CNAError* pclError);
  // True (nothing sent) when not active; else clears the active flag, then
  // _bNARollBack; its result.
  int _bRollBack(CNAError* pclError);
  // True when a nested object exists and is active.
  int _bInternalTransactionOpened() const;

  int bIsActive() const { return m_bActive != 0; }
  int bIsNested() const { return m_bNested != 0; }
  // The name given to the last bBegin (L"" before any).
  const wchar_t* pszGetName() const { return m_csName.pszGet(); }
  // The nested object (null before the first nested begin); borrowed.
  CNATransaction* pclGetNested() const { return m_pclNested; }
  CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
  // 0 for the outermost object, its parent's depth + 1 for a nested one.
  unsigned nGetDepth() const { return m_nDepth; }

 protected:
  // The server's statements: see the class comment. Each returns the
  // statement's result; the error comes from the connection.
  virtual int _bNABegin(CNAError* pclError);
  virtual int _bNACommit(CNAError* pclError);
  virtual int _bNARollBack(CNAError* pclError);

 private:
  // True when this object stands for a savepoint of the enclosing
  // transaction rather than a transaction of the server.
  bool _bUsesSavepoint() const;
  // Sends "<verb> <quoted savepoint id>" through the connection.
  int _bSendSavepoint(CNAError* pclError, const wchar_t* pszVerb);
  // Hands a refusal to the error object, or formats and drops it.
  void _Refuse(CNAError* pclError, int nSite1, int nSite2, unsigned nCode, ...);

  CNAConnectionDescription* m_pclConnection;
  CTString m_csName;
  CNATransaction* m_pclNested = nullptr;
  std::uint32_t m_bActive = 0;
  std::uint32_t m_bNested = 0;
  unsigned m_nDepth = 0;
};
KX_CINTERF_REF_TRAITS(CNATransaction)
