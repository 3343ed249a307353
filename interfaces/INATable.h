// INATable: one table (or executed query) as the runtime receives it from
// the driver (piGetTable, the query executions).
//
// The runtime calls these operations by slot number: INAVersion's five
// (0 to 4), then the references and the last error, then the database
// functions in the fixed order below (numbers in the comments); no slot may
// move, and the fourteen empty slots at the end keep their places. There
// is no virtual destructor: the runtime ends its use of a table only
// through nExternalRelease.
//
// Most operations name the calling runtime context: the table carries the
// operation out on that context's own cursor over it. An operation on a
// table the context has not opened fails (the error then names the
// table). Results: the int operations answer 1 on success and 0 on
// failure, with the failure in the object piGetLastError(context) answers.
//
// References: the runtime holds a table through ExternalAddRef and gives it
// back with nExternalRelease, which answers the new count; the table goes
// when that count and the library's own are both 0. The error answered
// stays owned by the library. Interfaces the runtime passes in stay the
// runtime's; the description piGetDataSourceDescription answers carries one
// external reference for the runtime. The record buffer bGetRecord lends
// is the table's current record itself (not a copy), one external count
// raised on it; bSetRecord gives one back.
#pragma once

#include <cstdint>

#include "INAVersion.h"

class CAny;
class CNAXQRecord;
class IGaugeControl;
class INAContext;
class INADataSourceDescription;
class INAError;
class ISQLParserInformation;

// The enumerations that cross the table are 32-bit values passed through
// unchanged; the library's own headers give their named values.
enum eNA_PARSEDIRECTION : std::int32_t;  // 0 first, 1 last, 2 next, 3 previous
enum eNA_LOCKTYPE : std::int32_t;        // 0 to 3; 1 no lock
enum eNA_ACCESS : std::int32_t;          // access mode of an opening
enum _eNA_HMODE : int;                   // locking mode
enum eNA_PRECISION : std::int32_t;       // precision of a positioning
enum eNA_OPERATION : std::int32_t;       // the next operation announced

class INATable : public INAVersion {
 public:
  // 5, 6: the runtime's (external) reference.
  virtual void ExternalAddRef() = 0;
  virtual std::uint32_t nExternalRelease() = 0;
  // 7: the error of the table's last operation in `context`.
  virtual INAError* piGetLastError(INAContext* context) = 0;
  // 8: whether the table is open in `context`.
  virtual int bIsOpened(INAContext* context) = 0;
  // 9: the description of the table's items (null when none).
  virtual INADataSourceDescription* piGetDataSourceDescription() = 0;
  // 10
  virtual int bNbEnrNeedParse(INAContext* context, int* needParse, const wchar_t* key) = 0;
  // 11: not supported (the error says so).
  virtual void FreeMemory(INAContext* context, void** memory) = 0;
  // 12
  virtual int bHReindexe(INAContext* context, unsigned int kind, IGaugeControl* gauge) = 0;
  // 13 to 15: opening (creating the table when missing), creating,
  // opening.
  virtual int bHCreationSiInexistant(INAContext* context, eNA_ACCESS access, const wchar_t* password) = 0;
  virtual int bHCreation(INAContext* context, const wchar_t* password) = 0;
  virtual int bHOuvre(INAContext* context, eNA_ACCESS access, const wchar_t* password) = 0;
  // 16
  virtual int bHMode(INAContext* context, _eNA_HMODE mode) = 0;
  // 17: closes the table in `context` (1 when it was not open).
  virtual int bHFerme(INAContext* context) = 0;
  // 18 to 22: writes.
  virtual int bHAjoute(INAContext* context, unsigned int flags, eNA_LOCKTYPE lock) = 0;
  virtual int bHEcrit(INAContext* context, long record, unsigned int flags, eNA_LOCKTYPE lock) = 0;
  virtual int bHRaye(INAContext* context, long record, eNA_LOCKTYPE lock) = 0;
  virtual int bHSupprime(INAContext* context, long record, eNA_LOCKTYPE lock) = 0;
  virtual int bHModifie(INAContext* context, long record, unsigned int flags, eNA_LOCKTYPE lock) = 0;
  // 23
  virtual int bHRecherche(INAContext* context, const wchar_t* item, const CAny* value, int searchMode,
                          int bRead, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone, int fromFirst,
                          unsigned int flags) = 0;
  // 24
  virtual int bHLibere(INAContext* context) = 0;
  // 25 to 27: reads.
  virtual int bHLit(INAContext* context, long record, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone) = 0;
  virtual int bHLitxxx(INAContext* context, const wchar_t* item, eNA_PARSEDIRECTION direction, int bRead,
                       eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone, unsigned int flags) = 0;
  virtual int bSkipRecord(INAContext* context, const wchar_t* item, eNA_PARSEDIRECTION direction, long count,
                          int bRead, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone, unsigned int flags) = 0;
  // 28 to 31: locks.
  virtual int bHBloqueFichier(INAContext* context, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone) = 0;
  virtual int bHDebloqueFichier(INAContext* context) = 0;
  virtual int bHBloqueNumEnr(INAContext* context, long record, eNA_LOCKTYPE lock, eNA_LOCKTYPE* lockDone) = 0;
  virtual int bHDebloqueNumEnr(INAContext* context, long record) = 0;
  // 32, 33: states of the browse on `item`.
  virtual int bHEnDehors(INAContext* context, const wchar_t* item, int* out) = 0;
  virtual int bEvalHTrouve(INAContext* context, const wchar_t* item, int* found, int* inFile) = 0;
  // 34
  virtual int bSetNextOperation(INAContext* context, eNA_OPERATION operation) = 0;
  // 35, 36: record numbers (0 on failure).
  virtual std::int64_t llGetRecNum(INAContext* context) = 0;
  virtual int bGetRecNumState(INAContext* context, long record, unsigned int* state) = 0;
  // 37 to 40: filters.
  virtual int bHFiltre(INAContext* context, ISQLParserInformation* parser, wchar_t* itemOut) = 0;
  virtual int bHFiltre(INAContext* context, const wchar_t* item, const CAny* lower, int lowerIncluded,
                       const CAny* upper, int upperIncluded, ISQLParserInformation* parser) = 0;
  virtual int bHActiveFiltre(INAContext* context, const wchar_t* item, unsigned int flags) = 0;
  virtual int bHDesactiveFiltre(INAContext* context, const wchar_t* item, unsigned int flags) = 0;
  // 41 to 43: saved positions.
  virtual int bHRetourPosition(INAContext* context, int position, wchar_t* item, int keep,
                               unsigned int kind) = 0;
  virtual int bHLiberePosition(INAContext* context, int position) = 0;
  virtual int bHSauvePosition(INAContext* context, const wchar_t* item, int* position, unsigned int kind) = 0;
  // 44
  virtual int bHVersion(INAContext* context, int* version) = 0;
  // 45: the record count.
  virtual int bHNbEnr(INAContext* context, long* count, unsigned int kind, unsigned int flags) = 0;
  // 46, 47: per-mille positions.
  virtual int bHPositionCourante(INAContext* context, const wchar_t* item, int* position,
                                 eNA_PRECISION precision, unsigned int flags) = 0;
  virtual int bHPositionne(INAContext* context, const wchar_t* item, unsigned int position,
                           eNA_PRECISION precision, unsigned int flags) = 0;
  // 48, 49: BLOBs by memo number.
  virtual int bGetBLOB(INAContext* context, unsigned int memo, CAny* value) = 0;
  virtual int bSetBLOB(INAContext* context, unsigned int memo, const CAny* value) = 0;
  // 50, 51: the current record buffer.
  virtual int bGetRecord(INAContext* context, CNAXQRecord** record) = 0;
  virtual int bSetRecord(INAContext* context, CNAXQRecord* record) = 0;
  // 52, 53: memo files.
  virtual int bHAttacheMemo(INAContext* context, unsigned int memo, const wchar_t* path) = 0;
  virtual int bExtraitMemo(INAContext* context, unsigned int memo, const wchar_t* path) = 0;
  // 54, 55: searches and keys.
  virtual int bHAnnuleRecherche(INAContext* context, const wchar_t* item) = 0;
  virtual int bHChangeCle(INAContext* context, const wchar_t* item, unsigned int flags) = 0;
  // 56
  virtual int bHConstruitValCle(INAContext* context, CAny* key, const wchar_t* item, unsigned int kind,
                                CAny** out) = 0;
  // 57, 58: not supported (the error says so).
  virtual int bHInterditModif(INAContext* context) = 0;
  virtual int bHFinInterditModif(INAContext* context) = 0;
  // 59: not supported (the error says so).
  virtual int bCalculateKeyValue(INAContext* context, const wchar_t* item, void** key, const void* record,
                                 unsigned int* size, unsigned short kind, int flags) = 0;
  // 60
  virtual int bFreeCache(INAContext* context) = 0;
  // 61
  virtual int bCompareTablePosition(INAContext* context, int first, int second, int* same) = 0;
  // 62, 63: always 0.
  virtual int bTableVirtualMoveSupported() = 0;
  virtual int bTableVirtualMove(INAContext* context, const wchar_t* item, long* count, unsigned int flags,
                                int bRead) = 0;
  // 64: deletes every record.
  virtual int bSupprimeTout(INAContext* context) = 0;
  // 65 to 78: empty.
  virtual void EmptySlot579() = 0;
  virtual void EmptySlot580() = 0;
  virtual void EmptySlot582() = 0;
  virtual void EmptySlot583() = 0;
  virtual void EmptySlot584() = 0;
  virtual void EmptySlot585() = 0;
  virtual void EmptySlot586() = 0;
  virtual void EmptySlot587() = 0;
  virtual void EmptySlot589() = 0;
  virtual void EmptySlot590() = 0;
  virtual void EmptySlot591() = 0;
  virtual void EmptySlot592() = 0;
  virtual void EmptySlot593() = 0;
  virtual void EmptySlot594() = 0;

 protected:
  ~INATable() = default;
};
