// CNAConvertVariant: the value of one item, column or query parameter as it
// travels between the server and the platform.
//
// The server hands values as 8-bit text in a code page, as wide text or as
// raw bytes; the platform wants them in the item's native form inside a
// record buffer, or as a dynamic value (CAny). A column binds its holder onto
// the item's bytes in the current record (mode NAVT_BOUND) and the statement
// hands every fetched field to bSetValueDB, which writes it there in the
// item's form. The other way, the command builder and the parameters read a
// holder back as a CAny; columns and record ids compare holders with nCmp.
//
// Modes (eNAVARTYPE): NAVT_NONE no value; NAVT_ANY the value lives in the
// CAny; NAVT_ANY_UNREAD the same, not read yet (a copy of it is NULL; the
// first assignment makes it NAVT_ANY); NAVT_BOUND the value lives in the
// caller's buffer (capacity given at binding); NAVT_POINTER the buffer only
// points at the caller's data; NAVT_OWNBUFFER a zero-filled buffer the holder
// owns. In the buffer modes (bound and own buffer) the CAny carries only the
// type and the NULL flag; the bytes are the item's native form.
//
// Native forms written into buffers (by the item type of the analysis
// description): 8-bit texts NUL-terminated within the capacity; NA_IT_UNICODE
// items UTF-16, at most capacity / 2 - 1 units written (surrogate pairs kept
// whole), zero-filled, read back up to the first zero unit; NA_IT_BINAIRE a
// 16-bit length then the bytes; NA_IT_DATE8 YYYYMMDD and NA_IT_HEURE
// HHMMSSCCC digits cut to capacity - 1; NA_IT_DATETIME the 8-byte date-time;
// NA_IT_DECIMAL the native decimal at the description's digits; every other
// type its raw bytes.
//
// Ownership: the holder keeps an internal reference on its connection and
// on its error object, and an external one on each description. The value
// buffer of a bound or pointer holder belongs to the caller; own and
// database buffers belong to the holder. The read path of a fetched value
// allocates nothing of its own (texts convert straight into the item).
//
// Code pages: the runtime code page and the server code page are the
// connection's (1252 or 65001 for the server); without a connection the
// runtime's current code page (0 meaning 1252) and 1252. 0 and -1 read as
// 1252.
//
// One thread at a time per holder; the converters it uses keep per-thread
// state only.
#pragma once

#include <cstdint>

#include "CNAVariant.h"

class CDateTime;
class CNAXQRecord;
class CTNBIN;
class INAItemDescription;
struct SYSTEMTIME;

enum eNAVARTYPE : std::int32_t {
  NAVT_NONE = 0,
  NAVT_ANY = 1,
  NAVT_ANY_UNREAD = 2,
  NAVT_BOUND = 3,
  NAVT_POINTER = 4,
  NAVT_OWNBUFFER = 5,
};

class CNAConvertVariant : public CNAVariant {
 public:
  // Empty holder (mode NAVT_NONE); takes an internal reference on each of
  // `error` and `cnx` when given.
  explicit CNAConvertVariant(CNAError* error = nullptr, CNAConnectionDescription* cnx = nullptr);
  // Resets, then releases the connection and the error object.
  ~CNAConvertVariant() override;

  // ---- Virtual operations, in slot order after CNAVariant's ---------------
  // Reads the value, then retypes the holder to mode NAVT_ANY of `type` and
  // assigns it back; a time item's text is first cut or '0'-padded to the
  // item size - 1 (no padding with noPadding).
  int vbChangeTNType(unsigned short type, int noPadding) override;
  int vbGetValue(CAny* out) const override;
  int vbIsEmpty() const override;
  const void* vpGetData() const override;
  std::uint64_t vnGetSize() const override;
  CNAConnectionDescription* pclGetCnx() override;
  virtual int _bConvertDataToXQ();
  virtual int _bConvertDataToDB();
  virtual int _bInitBufferDB_Ptr();
  virtual int _bInitBufferDB_Any();
  virtual int _bInitTypeBind();

  // ---- Construction and typing --------------------------------------------
  // Resets the holder, then mode NAVT_ANY, used size = capacity = size, the
  // CAny typed `type`, bind type 0, database buffer not prepared.
  void InitTypeVariantAny(unsigned short type, unsigned long size = 0);
  // Resets to `mode` and `type`, then binds: NAVT_BOUND and NAVT_POINTER take
  // `buffer` (used size = capacity = size); NAVT_OWNBUFFER allocates `size`
  // zeroed bytes (failure: out of memory in the error object, false); other
  // modes take no buffer.
  int bInitTypeVariant(eNAVARTYPE mode, unsigned char* buffer, unsigned long size, unsigned short type);
  // NAVT_OWNBUFFER of `size` bytes, typed; false when memory runs out.
  int bInitTypeVariantBuffer(unsigned short type, unsigned long size);
  // Attaches the descriptions (external references); a new analysis
  // description sets the type from its item type. Caches what the read
  // path needs (item types, size, digits).
  void SetItemDesc(INAItemDescription* analysis, INAItemDescription* database);
  // Drops the buffers, the descriptions and the value; stores the mode.
  void _SetVarType(eNAVARTYPE mode);
  void ResetVariant() { _SetVarType(NAVT_NONE); }
  void _OnSetValue(int clearNull);
  // NULL of the current type; a bound buffer is zero-filled.
  void SetNull();

  // ---- Fields --------------------------------------------------------------
  eNAVARTYPE eGetVarType() const { return m_eVarType; }
  unsigned short wGetTypeCode() const { return m_clValue.nGetTypeCode(); }
  int bIsNull() const { return m_clValue.bIsNull() ? 1 : 0; }
  unsigned char* pbyGetBuffer() const { return m_pbyBuffer; }
  std::uint64_t nGetCapacity() const { return m_nCapacity; }
  // The refresh mark of the command builder: set when it refreshed a query
  // parameter from the runtime's values; every assignment clears it.
  void SetRefreshed(int refreshed) { m_bRefreshed = refreshed ? 1 : 0; }
  int bGetRefreshed() const { return m_bRefreshed; }
  std::uint64_t nGetLengthDB() const { return m_nLengthDB; }
  int nGetStateDB() const { return m_nStateDB; }
  CNAError* pclGetError() const { return m_pclError; }
  INAItemDescription* piGetAnalysisDesc() const { return m_piAnalysis; }
  INAItemDescription* piGetDatabaseDesc() const { return m_piDatabase; }
  // The two code pages used by the conversions (see above).
  int nGetRuntimeCodePage() const;
  int nGetServerCodePage() const;

  // ---- Item types -----------------------------------------------------------
  eNA_ITEMTYPE eNAGetItemTypeAnalyse() const { return m_eAnalysisType; }
  eNA_ITEMTYPE eNAGetItemTypeDatabase() const { return m_eDatabaseType; }
  eNA_ITEMTYPE eNAGetItemType() const { return m_eAnalysisType != NA_IT_EMPTY ? m_eAnalysisType : m_eDatabaseType; }
  eNA_ITEMTYPE eNAGetItemTypeDatabaseEx() const;
  int bIsMemo() const;
  int bIsMemoBinaire() const;
  int bUnicodeDB() const;
  int eNAGetDBType() const;
  unsigned short eGetTNTypeDB() const;
  const wchar_t* pszGetTableName() const;
  const wchar_t* pszGetItemName() const;

  // ---- Assignment from the server -----------------------------------------
  // Each clears the NULL flag and the refresh mark and makes an unread
  // holder a value holder; a holder without mode answers false.
  //
  // 8-bit server text in `codePage` (length 0: empty, not NULL), by the
  // holder's type: texts convert into the item (UTF-8 into the runtime code
  // page or UTF-16; other 8-bit text as it is), whole characters only, the
  // rest of the item zero; false when nothing of a non-empty text converts
  // (item all zero). Numbers are parsed by the runtime (true whatever the
  // parse gives; a refused parse leaves 0). Dates and times go through the
  // layouts (true). Binaries get a 16-bit length in front. Other types
  // (decimals ...) are cast by the runtime; a failed cast keeps the value,
  // reports user error 53 and answers false.
  int bSetValueDB(const char* text, unsigned long length, unsigned int codePage);
  // Wide server text; a null text is SQL NULL (the holder's buffer zeroed).
  int bSetValueDB(const wchar_t* text, unsigned long length);
  int bSetValueFromDB(const wchar_t* text, unsigned long length);
  // A platform value destined for the server side.
  int bSetValueDB(const CAny* value);
  // Raw bytes into the database buffer (or the value), at most its size.
  int bSetValueDB(const unsigned char* data, unsigned long length);

  // ---- Assignment from the platform ---------------------------------------
  // A NULL or untyped value makes the holder NULL. A value of the holder's
  // type is copied (buffer modes: written in the item's form); another is
  // converted (texts into texts directly, the rest cast by the runtime; a
  // failed cast keeps the value, reports user error 53, false). Modes
  // NAVT_NONE and NAVT_POINTER take nothing and answer true.
  int bSetValue(const CAny* value);
  // Raw bytes, an image: the CAny's bytes, the pointer of a pointer holder,
  // or at most capacity - 1 (8-bit texts), - 2 (wide texts) bytes copied
  // into the buffer, the rest zero. Only the NULL flag is cleared.
  int bSetValue(const unsigned char* data, unsigned long length);
  int bSetValue(CTNBIN* binary);
  int bSetValue(const char* text, unsigned long length);
  int bSetValue(const wchar_t* text, unsigned long length);
  int bSetValue(bool b);
  int bSetValue(char n);
  int bSetValue(unsigned char n);
  int bSetValue(short n);
  int bSetValue(unsigned short n);
  int bSetValue(int n);
  int bSetValue(unsigned int n);
  int bSetValue(long n);
  int bSetValue(unsigned long n);
  int bSetValue(float d);
  int bSetValue(double d);
  int bSetValue(const CMoney& m);
  int bSetValue(const CDateTime* dt);
  int bSetValue(const SYSTEMTIME* st);
  int bCopyVariant(const CNAConvertVariant* source);
  CNAConvertVariant* pclGetCloneVariant() const;

  // ---- Reading ---------------------------------------------------------------
  // The value as a CAny: a copy in the value modes; in the buffer modes
  // built from the item's form, never reading past the buffer (texts up to
  // their first NUL or zero unit, binaries their clamped length, decimals
  // at the description's digits, false without room for them); the NULL
  // flag carried. False in modes NAVT_NONE and NAVT_POINTER.
  int bGetValue(CAny* out) const;
  const void* pGetData() const;
  std::uint64_t nGetSize() const;
  std::uint64_t nGetUtilDataSize() const;
  int bGetBufferDB(unsigned char** data, unsigned long* size, unsigned long** lengthIndicator);
  int bInitBufferDB();
  int nGetTypeBind();
  int _bAllocBufferDB(unsigned long size);
  int nCmp(const CNAConvertVariant* other) const;
  int bEqualsNAVariant(const CNAConvertVariant* other) const;
  int bEqualsNAVariant(const CAny* other) const { return CNAVariant::bEqualsNAVariant(other); }
  int bGetDecimalInfo(int* precision, int* scale) const;
  int bConvertDataToXQ(CNAXQRecord* record);
  void CompleteSpaces(long length);
  int bLoadFile(const wchar_t* path, CNAError* error, int binary);

  static int s_bTextToBool(const char* text);
  static int s_bTextToBool(const wchar_t* text);

 private:
  int _bSetValueAny(const CAny* value);
  int _bSetTextA(const char* text, unsigned long length, int codePage);
  int _bSetTextW(const wchar_t* text, unsigned long length);
  int _bSetLayout(const char* text, unsigned long length);
  int _bSetNumberText(const char* text, unsigned long length, int codePage);
  int _bParseNumber(unsigned type, const wchar_t* text);
  int _bStoreNumber(unsigned type, const unsigned char* value);
  int _bSetPlainUI1(const unsigned char* value);
  int _bSetBinaryPrefixed(const unsigned char* data, unsigned long length);
  int _bStoreSameType(const CAny* value);
  int _bReportCastFailure(const CAny* value);
  template <typename T>
  int _bSetTyped(unsigned short type, T value);
  unsigned char* _pbyWritable() const;
  int _bBufferMode() const { return m_eVarType == NAVT_BOUND || m_eVarType == NAVT_OWNBUFFER; }
  int _bUnicodeItem() const;
  void _ZeroFrom(std::uint64_t offset);
  void _TakeConnection(CNAConnectionDescription* cnx);

  CNAConnectionDescription* m_pclCnx = nullptr;
  INAItemDescription* m_piDatabase = nullptr;
  INAItemDescription* m_piAnalysis = nullptr;
  eNAVARTYPE m_eVarType = NAVT_NONE;
  unsigned char* m_pbyBuffer = nullptr;
  std::uint64_t m_nUsedSize = 0;
  std::uint64_t m_nCapacity = 0;
  unsigned char* m_pbyBufferDB = nullptr;
  std::uint64_t m_nCapacityDB = 0;
  std::int32_t m_bRefreshed = 0;
  unsigned long m_nLengthDB = 0;
  std::int32_t m_nTypeBind = 0;
  std::int32_t m_nStateDB = 0;
  CNAError* m_pclError = nullptr;
  // Cached at SetItemDesc: what the read path needs per value.
  eNA_ITEMTYPE m_eAnalysisType = NA_IT_EMPTY;
  eNA_ITEMTYPE m_eDatabaseType = NA_IT_EMPTY;
  std::uint32_t m_nItemSize = 0;
  int m_nPrecision = 0;
  int m_nScale = 0;
};
KX_CINTERF_REF_TRAITS(CNAConvertVariant)
