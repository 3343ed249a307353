// CNAConnectionDescription: the library's object for one database
// connection.
//
// The driver builds one (as the base of a concrete connection, such as the
// MariaDB/MySQL one) when the runtime opens a connection, and keeps it in its
// registry under the identification string. The object
// - reads the runtime's description (INAConnectionDescription) and the
//   extended keys of its extended information, and composes the connection
//   string (construction, accessors);
// - answers what the server's SQL dialect allows, runs simple statements and
//   transactions (dialect and transaction operations);
// - writes the SQL pieces of statements: literals, escaped texts, column
//   expressions (value-to-SQL operations), SQL type names and quoted object
//   names (type and name operations);
// - describes itself in errors (AddInfoNativeXError, bDiagnose).
//
// Ownership: a CInterf, deleted when its last internal reference goes. It
// takes one external reference on the host description at construction
// (a null host is accepted: every forwarding accessor then answers null, 0
// or -1) and gives it back at destruction. It holds one reference to its
// current transaction and owns its item-type map. Texts answered stay owned
// by the object (or by the host) and are valid until the object changes
// them or goes.
//
// Errors: every operation taking a CNAError* accepts null; the failure is
// then reported through the common error path and dropped (the result still
// says false).
//
// No lock of its own: used under the driver's process-wide lock, which also
// serialises the connection-number generator and the statics.
#pragma once

#include <cstdint>

#include "CInterf.h"
#include "CTString.h"
#include "INAError.h"
#include "ItemTypes.h"

class CAny;
class CNAError;
class CNAItemDescription;
class CNAMapConvertType;
class CNATransaction;
class CTStringConcatAW;
class CXTime;
class INAConnectionDescription;
class INAConnectionParameter;
class INAItemDescription;
class ISQLParserInformation;
class _CXErrorModule76;
template <typename T>
class CXYString;

// The kind of data source a connection talks to; the dialect answers are
// tabled by it. The MariaDB/MySQL connection is kind 5; the other kinds are
// the generic layer's other database kinds (0 to 14).
enum eDATASOURCE : std::int32_t {
  DATASOURCE_DEFAULT = 0,
  DATASOURCE_MARIADB = 5,
};

// Where result sets are kept.
enum eCURSORLOCATION : std::int32_t {
  CURSORLOCATION_DEFAULT = 0,
  CURSORLOCATION_CLIENT = 1,
  CURSORLOCATION_SERVER = 2,
};

class CNAConnectionDescription : public CInterf {
 public:
  // ======================================================================
  // Construction and the runtime's description
  // ======================================================================

  // Takes the next connection number, an external reference on `host` (may
  // be null), the application code page, a copy of `identification` (null:
  // empty), composes the connection string from the host's values as they
  // are, then copies the extended information and reads the extended keys
  // out of the copy (each found pair is cut out of it). Cannot fail.
  CNAConnectionDescription(const wchar_t* identification, INAConnectionDescription* host);
  // Closes the current transaction (without rolling back), deletes the
  // item-type map, gives back the host's external reference.
  ~CNAConnectionDescription() override;

  // ---- Forwarded to the host (null / 0 without a host) ----
  const wchar_t* pszGetUserName() const;                // slot 7
  const wchar_t* pszGetPassword() const;                // slot 8
  const wchar_t* pszGetDataBase() const;                // slot 9: the data source
  const wchar_t* pszGetDescription() const;             // slot 10
  int eGetAccess() const;                               // slot 11
  int nGetNbParam() const;                              // slot 12
  INAConnectionParameter* pclGetParam(int nIndex) const;  // slot 13
  std::int32_t lGetCursorOptions() const;               // slot 19
  const wchar_t* pszGetDefaultDataBase() const;         // slot 21
  const wchar_t* pszGetLogicalConnectionName() const;   // slot 25
  // The name of the host's connection object (slot 18); null without one.
  const wchar_t* pszGetConnectionName() const;
  INAConnectionDescription* piGetHost() const { return m_piConnectionDescription; }

  // ---- Own fields ----
  std::uint32_t nGetCnxNumber() const { return m_nCnxNumber; }
  // The kind of server the connection talks to (its dialect).
  eDATASOURCE eGetDataSource() const { return m_eDataSource; }
  // The server's major version (-1 until an opening read it).
  std::int32_t nGetServerMajor() const { return m_nServerMajor; }
  const wchar_t* pszGetIdentification() const { return m_csIdentification.pszGet(); }
  // The empty-as-NULL mode: 1 stores empty texts and binaries as NULL; 0
  // (every kind: the server keeps '' and NULL apart) keeps them as values.
  std::int32_t nGetEmptyAsNullMode() const { return m_nEmptyAsNullMode; }
  void SetEmptyAsNullMode(std::int32_t nMode) { m_nEmptyAsNullMode = nMode; }
  // The extended information with every key the constructor read cut out.
  const wchar_t* pszGetExtendedInfo() const { return m_csExtendedInfo.pszGet(); }
  // The string built at construction; the shared empty string when empty.
  // It keeps every extended key and the password as the host gave them.
  const wchar_t* pszGetConnectionString() const;

  // Reads `key` from the stored extended information into *value (emptied
  // first), cutting the pair out when cut is not 0; *found (second form)
  // tells whether the pair was there. Both answer 1: a caller that needs
  // to know whether the key was given tests the value or the found flag.
  int _bGetExtendedParameter(CTString* value, const wchar_t* key, int cut);
  int _bGetExtendedParameter(CTString* value, int* found, const wchar_t* key, int cut);
  // Looks `key` up in the host's provider text (slot 14) without cutting;
  // *out stays empty when it is not there. Always 1.
  int bGetDataBaseHiddenInProvider(CTString* out, const wchar_t* key) const;
  // The cached default database; else "Initial Catalog" of the extended
  // information; else of the provider text; else the host's (slot 21),
  // possibly empty. The answer is cached.
  const wchar_t* pszGetDefaultDataBaseEx();
  // The application code page from the runtime's current character set.
  void _InitCodePageFromTN();
  // The code pages of the runtime's texts and of the server's (-1 until
  // set).
  std::int32_t nGetApplicationCodePage() const { return m_nApplicationCodePage; }
  std::int32_t nGetDataBaseCodePage() const { return m_nDataBaseCodePage; }
  // "Application Name" when given; else the running program's file name
  // without extension; else "Velmora Korvex". The answer is stored.
  const wchar_t* pszGetApplicationName();
  // The running program's file name without directory and extension into
  // *out; false (out unchanged) when the path cannot be read.
  static int g_bGetExeName(CTString* out);
  // The full path of `module` (null: the program) into *out, through a
  // 261-character buffer; false (out unchanged) when it cannot be read or
  // does not fit.
  static int g_bGetModuleFileName(void* module, CTString* out);
  // True when no client library is wanted, or when the wanted one is the
  // loaded one (m_csClientLibrary), compared without regard to case, whole
  // path or, for a wanted text without directory, file name with
  // extension. Otherwise user error 74 ("MariaDB", loaded path, wanted
  // text) and false.
  int _bCheckClientLibraryWanted(CNAError* error);

  // ======================================================================
  // Virtual operations, in the order of the runtime-facing table (slot 3
  // onwards; CInterf's destructors and _NotToBeCalled come first).
  // ======================================================================
  virtual int bOpen(CNAError* error) = 0;                    // 3
  virtual int bIsOpen() = 0;                                 // 4
  virtual int bClose(CNAError* error) = 0;                   // 5
  virtual int bSupportOrderByMemo();                         // 6: false
  virtual int bOrderByIndiceAllowed();                       // 7: true
  virtual int bTransactionEndCloseParse();                   // 8: false
  virtual int bTreatEmptyDateAsNULL();                       // 9: true
  virtual int bTreat0000DateAsNULL();                        // 10: by kind
  virtual int bSupportItemTime();                            // 11: false
  virtual int bSupportItemDate();                            // 12: false
  virtual int bNULLBeforeNotNULL();                          // 13: true
  virtual int bSupportInsertReturning();                     // 14: false
  virtual int bCanPrepareQuery();                            // 15: true
  virtual int bIndexNamesCommonOnDatabase();                 // 16: false
  virtual int bOpenCreate(CNAError* error);                  // 17: bOpen
  virtual const wchar_t* pszGetNoLockHint();                 // 18: record-lock text
  virtual int bTransactionBeginDirect(CNAError* error);      // 19: "BEGIN"
  virtual int bTransactionCommitDirect(CNAError* error);     // 20: "COMMIT"
  virtual int bTransactionRollBackDirect(CNAError* error);   // 21: "ROLLBACK"
  // A new transaction of this connection (counts 0), or null.
  virtual CNATransaction* pclAllocTransaction();             // 22
  // Runs "LOCK TABLE " and the name formatted by bFormatTableName; a name
  // it refuses fails with its error and nothing is sent.
  virtual int bSQLBloque(CNAError* error, const wchar_t* table);              // 23
  virtual int bSQLBloque(CNAError* error, ISQLParserInformation* parser);     // 24: false
  // Runs the query, without its trailing blanks and semicolons, followed by
  // a line break and " FOR UPDATE"; the rows are dropped unread.
  virtual int bSQLBloqueRequete(CNAError* error, const wchar_t* query);       // 25
  // Refuses: user error 8 (type 7) naming `name` as the table; false,
  // *result unchanged.
  virtual int bDiagnose(CNAError* error, CAny* result, const wchar_t* name, unsigned flags);  // 26
  virtual int bInitError(CNAError* error, unsigned code, unsigned flags);     // 27: false
  virtual eNA_ERRORTYPE eGetNAErrorType(unsigned code);                       // 28: 0
  // *out = the SQL literal of *value (out is emptied first); false on
  // failure.
  virtual int bConvertValueToString(CNAError* error, CTStringConcatAW* out, const CAny* value,
                                    eNA_ITEMTYPE itemType, eNA_ITEMTYPE dbType);  // 29
  // *value cast in place to what the column takes; false on failure.
  virtual int bCastCAnyIntoDBType(CNAError* error, CAny* value, eNA_ITEMTYPE itemType,
                                  eNA_ITEMTYPE dbType, int exact);  // 30
  virtual int nGetOrderByMaxExpressionNbr();                        // 31
  // Adds the connection's description to *pclErr (items 22, 23 and the
  // caption lines); nothing for null. Never writes the password.
  virtual void AddInfoNativeXError(_CXErrorModule76* pclErr);       // 32
  virtual int bDBTypeToString(CTString* out, int dbType) const;     // 33: false
  virtual int bDBTypeUnkwnownByDB(int dbType) const;                // 34: false
  // Runs `query` on a driver-level statement (see StatementSeam.h); false
  // when no statement can be had, else the statement's result.
  virtual int bExecuteQueryNoResult(CNAError* error, const wchar_t* query);      // 35
  virtual int bExecuteQueryIgnoreResult(CNAError* error, const wchar_t* query);  // 36
  // The column `column` of the first row of `query` into *value.
  virtual int bGetRequestedValue(CNAError* error, CAny* value, int column,
                                 const wchar_t* query);  // 37
  // Appends the quoted, escaped text of the data to *out.
  virtual int _bEscapeString(CNAError* error, CTStringConcatAW* out, unsigned short typeCode,
                             unsigned char* data, unsigned long byteLength);  // 38
  // *out = "1" or "0".
  virtual int _bBoolToString(CNAError* error, CTStringConcatAW* out, int value);  // 39
  virtual int _bDateToString(CNAError* error, CTStringConcatAW* out, const CAny* value,
                             eNA_ITEMTYPE itemType);  // 40
  virtual void _CancelRecordLock(CNATransaction* transaction);  // 41: nothing
  // Fills the item-type map with the server's type texts.
  virtual void _InitXQ2NativeType() = 0;  // 42
  // Splits the server version text into major, minor, release. Always true.
  virtual int _bDecomposeServerVersion(CNAError* error);  // 43

  // ======================================================================
  // Dialect answers by data-source kind
  // ======================================================================
  int bSupportSubQuery() const;
  int bSupportLimitOrTop() const;
  // The most rows a browse SELECT asks for ("KX Cache Size"; -2 automatic,
  // 0 or below none).
  std::int64_t llGetCacheSize() const { return m_llCacheSize; }
  // Whether the SQL runtime opened this connection (its SQL face).
  int bOpenedBySQLRuntime() const { return m_nSQLRuntime != 0 ? 1 : 0; }
  // Marks the connection as one the SQL runtime opened (1) or not (0).
  void SetSQLRuntime(std::uint32_t value) { m_nSQLRuntime = value; }
  int nGetVarCharMaxLen() const;   // -1: no limit known
  int nGetNVarCharMaxLen() const;  // -1: no limit known
  const wchar_t* pszGetVarCharType() const;
  const wchar_t* pszGetNVarCharType() const;
  const wchar_t* pszGetCLOBType() const;
  const wchar_t* pszGetNCLOBType() const;
  // The server version read at opening (MariaDB/MySQL numbering) is 5.5.3
  // or later: the server knows the four-byte character set utf8mb4.
  int bServerKnowsUtf8mb4() const;
  // "Default", "Client", "Server"; "Unknown" for any other value.
  static const wchar_t* s_pszGetCursorLocation(int location);

  // ======================================================================
  // Transactions
  // ======================================================================
  int bTransactionBegin(CNAError* error, const wchar_t* name);
  int bTransactionCommit(CNAError* error, const wchar_t* name);
  int bTransactionRollBack(CNAError* error, const wchar_t* name);
  // Commit or roll back the current transaction (counting mode included);
  // the two share everything but the transaction's operation.
  int _bEndTransaction(CNAError* error, const wchar_t* name,
                       int (CNATransaction::*pfnEnd)(CNAError*, const wchar_t*));
  int _bTransactionOpened() const;
  int bAutoCloseEnabled() const;
  int bResumeCurrentTransaction(CNAError* error);
  int bActiveCurrentTransaction(CNAError* error, int active);
  // Drops this object's reference to the current transaction (never rolls
  // back) and forgets it.
  void _CloseTransactions();
  // AddInfoNativeXError on the error's wrapped error; nothing for null.
  void AddInfoNative(CNAError* error);
  // bGetRequestedValue into a scratch value, cast to wide text; *out gets
  // it, or is emptied for NULL or a failed cast. The result is that of
  // bGetRequestedValue.
  int bGetRequestedValueString(CNAError* error, CTString* out, int column, const wchar_t* query);

  // ======================================================================
  // Values as SQL text
  // ======================================================================
  int _bDateToString(CNAError* error, CTStringConcatAW* out, const CAny* value, int escape,
                     eNA_ITEMTYPE itemType);
  int _bDateToString(CNAError* error, CTStringConcatAW* out, CXTime& time, int escape);
  int _bTimeToString(CNAError* error, CTStringConcatAW* out, CXTime& time, int escape);
  int _bDateTimeToString(CNAError* error, CTStringConcatAW* out, CXTime& time, int escape);
  int _bDateToString(CNAError* error, CTStringConcatAW* out, const wchar_t* literal, int escape);
  int _bDateTimeToString(CNAError* error, CTStringConcatAW* out, const wchar_t* literal,
                         int escape);
  // *out = an SQL expression giving the runtime's text form of a date or
  // time column; true when a conversion applied, false when *out is the
  // expression unchanged.
  int bConvertExpressionToString(CNAError* error, CTStringConcatAW* out, const wchar_t* expression,
                                 INAItemDescription* item, INAItemDescription* column);
  // *out = the item's value for a server default-value text.
  int bConvertStringToDefaultValue(CAny* out, const wchar_t* text, CNAItemDescription* item,
                                   CNAError* error);
  // *out = the value's text; NULL or a failed cast leaves it unchanged. 1.
  int bCopyString(CNAError* error, CXYString<wchar_t>* out, const CAny* value);
  // Appends 2n upper-case hexadecimal digits.
  static int s_bBinaryToStringHexa(CNAError* error, const unsigned char* data, unsigned long n,
                                   CTStringConcatAW* out);
  // Writes "%02X" per byte and a terminator into out, which holds
  // `capacity` characters; stops at the last whole byte that fits. A null
  // source writes the empty text.
  static void s_BinaryToStringHexa(const unsigned char* data, unsigned long n, wchar_t* out,
                                   unsigned long capacity);
  static void s_BinaryToStringHexa(const unsigned char* data, unsigned long n, char* out,
                                   unsigned long capacity);
  // Clears out[0..size), then converts pairs of hexadecimal digits into at
  // most `size` bytes, stopping at the first missing or non-hex digit.
  static void s_StringHexaToBinary(const wchar_t* text, unsigned char* out, unsigned long size);
  static void s_StringHexaToBinary(const char* text, unsigned char* out, unsigned long size);
  static int s_bTimeToStringIncomplete(CNAError* error, CTStringConcatAW* out,
                                       const wchar_t* digits, wchar_t separator);
  // Removes every ':', '-', ' ', '/' and '.'.
  static void s_DateStandardise(CTString* text);

  // ======================================================================
  // SQL type names and object names
  // ======================================================================
  // Type, size (and for decimals precision and scale) from a server type
  // text and its character set. Always true.
  int bSQLTypeNameToNAType(CNAError* error, eNA_ITEMTYPE* type, unsigned* size,
                           unsigned* precision, unsigned* scale, const wchar_t* typeText,
                           const wchar_t* charset);
  // The number in parentheses after typeName in typeText; 1 without one.
  int _nGetSizeInTypeDecl(const wchar_t* typeText, const wchar_t* typeName) const;
  // *out = the SQL type text for the item; false on refusal (user error 46).
  // On MariaDB/MySQL a Unicode key item (primary or unique) whose whole
  // key passes the server's default key limit in utf8mb4 but not in ucs2
  // is given ucs2.
  int bGetMatchingSQLType(CNAError* error, INAItemDescription* item, CTString* out);
  static int s_bReservedSQLWord(const wchar_t* word);
  static int s_bNeedFormat_Oracle(const wchar_t* name);
  int _bNeedFormatName(CNAError* error, const wchar_t* name) const;
  // *out = the name quoted when it needs it (inner closing quotes doubled),
  // else the name. Always true.
  int bFormatItemName(CNAError* error, const wchar_t* name, CTString* out) const;
  // As bFormatItemName, piece by piece at the dots outside quoted pieces
  // (owner and database parts kept). False, *out emptied and user error 84
  // naming the name, when a piece would stay unquoted without being one
  // plain identifier (a connection without quotes, or a kind's own rule).
  int bFormatTableName(CNAError* error, const wchar_t* name, CTString* out) const;
  // *out = the name without its quotes (inner doubled quotes undone), or the
  // name unchanged.
  void UnFormatItemName(const wchar_t* name, CTString* out) const;
  void DecomposeTableName(CTString* catalog, CTString* owner, CTString* table,
                          const wchar_t* name) const;
  int bExtractOwner(const wchar_t* owner, const wchar_t* name, CTString* outOwner,
                    CTString* outTable) const;

  // ======================================================================
  // Process-wide statics: written by the client-library loader when the
  // library is loaded (tests set them).
  // ======================================================================
  static std::uint32_t m_gnCnxGenerator;
  static CTString m_csClientVersion;
  static CTString m_csClientLibrary;
  static std::int32_t m_nClientVersionMajor;
  static std::int32_t m_nClientVersionMinor;

 protected:
  // Composes the connection string from the host's values (null written
  // "NULL"); growth by steps of m_nConnectionStringStep characters.
  void _BuildConnexionString();

  // ---- Fields, in the order of the connection's layout ----
  std::uint32_t m_nCnxNumber = 0;
  INAConnectionDescription* m_piConnectionDescription = nullptr;
  CTString m_csIdentification;
  wchar_t* m_pszConnectionString = nullptr;  // owned, new[]
  std::int64_t m_nConnectionStringLength = 0;
  std::int64_t m_nConnectionStringCapacity = 0;  // characters, terminator excluded
  std::int64_t m_nConnectionStringStep = 1024;
  std::int32_t m_bAutoCloseEnabled = 1;
  CNATransaction* m_pclCurrentTransaction = nullptr;  // one internal reference
  // Set to 1 by the SQL runtime for the connections it uses.
  std::uint32_t m_nSQLRuntime = 0;
  CTString m_csDefaultDataBase;
  std::int64_t m_llCacheSize = -2;
  eCURSORLOCATION m_eCursorLocation = CURSORLOCATION_DEFAULT;
  // 1: every begin below an active transaction is a nested transaction;
  // 0: begins are counted and only the outermost reaches the server.
  std::int32_t m_bOneTransactionPerBegin = 1;
  std::int32_t m_nTransactionNesting = 0;
  CTString m_csExtendedInfo;
  std::int32_t m_nConnectionTimeout = -1;
  std::int32_t m_nCommandTimeout = -1;
  std::int32_t m_nLockTimeout = -1;
  CTString m_csRecordLock;
  CNAMapConvertType* m_pclMapConvertType = nullptr;  // owned
  std::int32_t m_bUnicodeTypesAllowed = 1;
  std::int32_t m_nUnicodeSupport = 1;
  std::int32_t m_nApplicationCodePage = -1;
  std::int32_t m_nDataBaseCodePage = -1;
  CTString m_csReserved1;
  std::int32_t m_bDateAsQuotedText = 0;
  CTString m_csSSLMode;
  CTString m_csSSLKey;
  CTString m_csSSLCert;
  CTString m_csSSLCA;
  CTString m_csReserved2;
  CTString m_csSSLCAPath;
  CTString m_csSSLCipher;
  CTString m_csClientVersionWanted;
  CTString m_csClientLibraryWanted;
  CTString m_csApplicationName;
  eDATASOURCE m_eDataSource = DATASOURCE_DEFAULT;
  CTString m_csServerVersion;
  std::int32_t m_nServerMajor = -1;
  std::int32_t m_nServerMinor = 0;
  std::int32_t m_nServerRelease = 0;
  CTString m_csOpeningQuote;
  std::int32_t m_nOpeningQuoteLength = 0;
  CTString m_csClosingQuote;
  std::int32_t m_nClosingQuoteLength = 0;
  CTString m_csBinaryPrefix;
  CTString m_csBinarySuffix;
  CTString m_csReserved3[6];
  std::int32_t m_nEmptyAsNullMode = 0;
  // The session's character set as the last opening set it, with any
  // limit it brings; empty when the connection does not name one. Written
  // into the connection lines of its errors (its diagnosis among them).
  CTString m_csSessionCharset;
};
KX_CINTERF_REF_TRAITS(CNAConnectionDescription)

// The captions of the connection lines of an error dump, loaded once: the
// library's message text, else a built-in text, each followed by one space.
// The driver's query dump shares them.
enum eNACONNECTIONCAPTION : int {
  NACAPTION_CLIENTLIBRARY = 0,
  NACAPTION_PROVIDER,
  NACAPTION_USER,
  NACAPTION_DATASOURCE,
  NACAPTION_DEFAULTDATABASE,
  NACAPTION_CONNECTIONTIMEOUT,
  NACAPTION_COMMANDTIMEOUT,
  NACAPTION_LOCKTIMEOUT,
  NACAPTION_CURSORLOCATION,
  NACAPTION_UNICODESUPPORT,
  NACAPTION_APPLICATIONCODEPAGE,
  NACAPTION_DATABASECODEPAGE,
  NACAPTION_RECORDLOCK,
  NACAPTION_CHARSET,
  NACAPTION_COUNT,
};
// The caption's text (never null; the empty text for an unknown caption).
const wchar_t* kxna_pszGetConnectionCaption(eNACONNECTIONCAPTION caption);
