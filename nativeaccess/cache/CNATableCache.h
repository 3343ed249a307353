// CNATableCache: a whole query result held in memory for one data access.
// One statement of the data access, the parsing statement, reads every row
// into its record cache; that cache then becomes the full cache, shared by
// every statement of the data access that browses through the table cache.
// Such a statement asks for an index (CNATableCacheIndex) on the column of
// its key, which orders the cached records on the client.
//
// Life: the table cache passes once from having a parsing statement to
// having its full cache, on the first call that needs the whole result
// (pclGetFullCache); until then bCacheCompleted follows the parsing
// statement. Record numbers are entry indexes of the full cache, which
// only appends, rewrites in place and marks deleted, so they stay put.
//
// Ownership: reference-counted (CKXUnknown; its maker holds the first
// reference). It holds a reference on the error object, on the parsing
// statement (until the full cache is obtained) and on the full cache; the
// data access is not referenced (it owns the table cache).
//
// Virtual operations, in slot order after the destructors and dwRelease:
// _bSetStatementParse.
//
// Not thread-safe: used under the library's process-wide lock.
#pragma once

#include <cstdint>

#include "CKXUnknown.h"
#include "CNAStatementSeams.h"

class CNAColumn;
class CNADataAccess;
class CNAError;
class CNARecordCache;
class CNAStatement;
class CNATableCacheIndex;

class CNATableCache : public CKXUnknown {
 public:
  // The name buffer of a restored position, in characters.
  static constexpr int knItemNameSize = 256;

  // One reference on `error` (may be null); the data access is kept
  // without one.
  CNATableCache(CNAError* error, CNADataAccess* access);
  // Gives back the full cache, the parsing statement and the error object.
  ~CNATableCache() override;

  // Sets the parsing statement (one reference) and saves a copy of its
  // filter. True.
  virtual bool _bSetStatementParse(CNAStatement* statement);

  // When no parsing statement is set yet, sets it (_bSetStatementParse);
  // in every case switches caching on for `statement` (EnableCache(1)).
  // The answer of _bSetStatementParse; true when one was already set.
  bool bSetStatementParse(CNAStatement* statement);
  bool bIsStatementParse(const CNAStatement* statement) const {
    return statement != nullptr && statement == m_pclStatementParse;
  }
  // True when there is neither a full cache nor a parsing statement.
  bool bInitDone() const { return m_pclFullCache == nullptr && m_pclStatementParse == nullptr; }
  // True without parsing statement, else the statement's bCacheCompleted.
  bool bCacheCompleted() const;

  // The full cache (no reference for the caller), obtained on the first
  // call:
  // - when the parsing statement is not the data access's current
  //   statement, the data access's position is saved first (kind 0);
  // - the parsing statement completes its cache (pclGetFullRecordCache);
  // - on success that cache becomes the full cache (one reference), the
  //   saved position is restored and freed, and the parsing statement is
  //   given back; on failure none is answered, the parsing statement stays
  //   (the next call tries again) and the saved position is freed without
  //   being restored, so that no failed attempt leaves a registered
  //   position behind.
  // The table cache and the parsing statement are held across the
  // completion, inside which the data access may free the table cache:
  // when the table cache was freed meanwhile (this call held the last
  // reference), none is answered and the table cache is gone.
  CNARecordCache* pclGetFullCache();
  // Whether `cache` is the full cache (before it is obtained: the parsing
  // statement's record cache).
  bool bIsRecordCache(const CNARecordCache* cache) const;
  // True without full cache or when it has no entry.
  bool bIsEmpty() const;
  // The full cache's entry count, and that count less the deleted
  // entries; both obtain the full cache first, 0 when it cannot be.
  std::int64_t llGetRecordNbr();
  std::int64_t llGetRecordNbrActive();
  // Whether `filter` equals the copy saved with the parsing statement.
  bool bFilterEquals(const CNAFilter* filter) const { return m_clFilterSave.bFilterEquals(filter) != 0; }
  // A new index over the full cache for `statement` and `column`, built,
  // with one reference for the caller; none when the full cache cannot be
  // obtained or the index cannot be made or built (no memory reported for
  // an index that cannot be made).
  CNATableCacheIndex* pclGetCacheIndex(CNAStatement* statement, CNAColumn* column);

  CNAStatement* pclGetStatementParseNoRef() const { return m_pclStatementParse; }
  CNARecordCache* pclGetFullCacheNoRef() const { return m_pclFullCache; }
  CNADataAccess* pclGetDataAccess() const { return m_pclDataAccess; }

 private:
  CNAError* m_pclError = nullptr;
  CNADataAccess* m_pclDataAccess = nullptr;
  CNAStatement* m_pclStatementParse = nullptr;
  CNARecordCache* m_pclFullCache = nullptr;
  CNAFilterSave m_clFilterSave;
};
