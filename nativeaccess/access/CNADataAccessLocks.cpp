// The record and table locks of a data access. This driver takes no lock of
// its own on the server: locking a record or the table, crossing a record
// out, releasing it and building a composite key value are refused as not
// available (error type 7); unlocking succeeds without effect, and so do
// the record-lock hooks of the read and write paths. Locks on the server
// come only from the driver's explicit lock statements.
#include "CNADataAccess.h"

#include "CNAError.h"
#include "CXErrorInternal.h"

namespace {
// Source number of the data access in the debug line.
constexpr int knLocationArea = 3;
// User error 8: the operation is not supported by this driver.
constexpr unsigned int knErrNotSupported = 8;
// The refused operations' numbers in the debug line.
constexpr int knSiteBloqueFichier = 5;
constexpr int knSiteBloqueNumEnr = 7;
constexpr int knSiteRaye = 10;
constexpr int knSiteLibere = 11;
constexpr int knSiteConstruitValCle = 13;
}  // namespace

void CNADataAccess::_RefuseLockOperation(int site) {
  if (m_pclError == nullptr) return;
  // The refusal carries its own names and code, so that it reads whole
  // also as a sub-error of an earlier failure of the same call.
  const _CXErrorModule76 clRefusal =
      clInternalError(knLocationArea, site, pszGetLogicalName(), nullptr, knErrNotSupported);
  m_pclError->AddError(NA_ERRORTYPE_UNAVAILABLE, &clRefusal, m_pclConnection);
}

int CNADataAccess::bHRaye(long /*record*/, eNA_LOCKTYPE /*lock*/) {
  _RefuseLockOperation(knSiteRaye);
  return 0;
}

int CNADataAccess::bHLibere() {
  _RefuseLockOperation(knSiteLibere);
  return 0;
}

int CNADataAccess::bHBloqueFichier(eNA_LOCKTYPE /*lock*/, eNA_LOCKTYPE* /*lockDone*/) {
  _RefuseLockOperation(knSiteBloqueFichier);
  if (m_pclError != nullptr) m_pclError->SetErrorLevel(NAERRORLEVEL_WARNING);
  return 0;
}

int CNADataAccess::bHDebloqueFichier() { return 1; }

int CNADataAccess::bHBloqueNumEnr(long /*record*/, eNA_LOCKTYPE /*lock*/, eNA_LOCKTYPE* /*lockDone*/) {
  _RefuseLockOperation(knSiteBloqueNumEnr);
  if (m_pclError != nullptr) m_pclError->SetErrorLevel(NAERRORLEVEL_WARNING);
  return 0;
}

int CNADataAccess::bHDebloqueNumEnr(long /*record*/) { return 1; }

int CNADataAccess::bHConstruitValCle(CAny* /*key*/, const wchar_t* /*item*/, unsigned int /*kind*/,
                                     CAny** /*out*/) {
  _RefuseLockOperation(knSiteConstruitValCle);
  return 0;
}

int CNADataAccess::bLockRecord(CNAStatement* /*statement*/, eNA_LOCKTYPE /*lock*/, long /*record*/,
                               eNA_LOCKTYPE* /*lockDone*/) {
  return 1;
}

int CNADataAccess::bUnlockRecord(CNAStatement* /*statement*/, eNA_LOCKTYPE /*lock*/, long /*record*/,
                                 eNA_LOCKTYPE* /*lockDone*/) {
  return 1;
}

int CNADataAccess::bLockUnlockRecord(CNAStatement* /*statement*/, eNA_LOCKTYPE /*lock*/, long /*record*/,
                                     eNA_LOCKTYPE* /*lockDone*/) {
  return 1;
}

void CNADataAccess::CancelRecordLock(INAConnectionDescription* /*cnx*/, CNATransaction* /*transaction*/) {}
