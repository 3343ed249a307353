// Shared enumerations of the record layer and of its callers (statements,
// table caches, data accesses): the kind of a write notification, the
// direction of a read, the state of a cached record and the kind of a
// record identifier.
#pragma once

#include <cstdint>

// The kind of a statement's SQL; write notifications carry 2, 3 and 4.
enum eNAQUERYTYPE : std::int32_t {
  NA_QUERY_UNKNOWN = 0,
  NA_QUERY_SELECT = 1,
  NA_QUERY_UPDATE = 2,
  NA_QUERY_INSERT = 3,
  NA_QUERY_DELETE = 4,
  NA_QUERY_DELETEALL = 5,
  NA_QUERY_CREATETABLE = 6,
  NA_QUERY_NOCOLUMN = 8,
  NA_QUERY_DROPTABLE = 9,
};

// The direction of a read in a parse.
enum eNA_PARSEDIRECTION : std::int32_t {
  NA_PARSE_FIRST = 0,
  NA_PARSE_LAST = 1,
  NA_PARSE_NEXT = 2,
  NA_PARSE_PREVIOUS = 3,
  NA_PARSE_CURRENT = 4,
};

// The state of a cached record: 0 read; bit 7 (128) marks it deleted.
enum eNA_RECORDSTATE : std::int32_t {
  NA_RECORDSTATE_READ = 0,
  NA_RECORDSTATE_DELETED = 128,
};

// What a record identifier holds (CNARecordId::eGetRecordIdType): 0 none
// yet (a cache that has stored no identifier), 1 the whole content of the
// record, 3 the value of a server row-identifier column.
enum eNA_RECORDIDTYPE : std::uint32_t {
  NA_RECORDID_NONE = 0,
  NA_RECORDID_RECORDVALUES = 1,
  NA_RECORDID_ROWID = 3,
};
