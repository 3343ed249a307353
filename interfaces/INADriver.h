// INADriver: the native-access driver as the runtime receives it from the
// library's piQueryInterface.
//
// The runtime calls these operations by their place in the table: the five
// version slots of INAVersion (0 to 4), then 5 to 38 as numbered below. No
// virtual member may be added, removed or moved, and there is no destructor
// here: the implementing class places its destructor pair right after slot
// 38, and the runtime never deletes the driver, it only gives back its
// external references (nExternalRelease), the last of which deletes it.
//
// Results: the int operations answer 1 on success and 0 on failure; the
// failure's description is then in the object piGetLastError returns (owned
// by the driver, valid until the driver's next operation). Interfaces handed
// out (piGetInterface, piGetTable, piGetTableDesc, the out-table of the
// query executions) carry one external reference for the runtime.
// Interfaces the runtime passes in stay the runtime's: the driver takes its
// own references when it keeps them.
#pragma once

#include <cstdint>

#include "INAVersion.h"
#include "KxOpaqueInterfaces.h"

class CAny;
class INAConnectionDescription;
class INAContext;
class INADataSourceDescription;
class INAError;
class INAQueryParametersValue;
class INATable;
class IXQForNA;
template <typename T>
class CXYString;

// Mode of the runtime's H-functions applied to every table of a context
// (bHMode); the values are the runtime's.
enum _eNA_HMODE : int;

class INADriver : public INAVersion {
 public:
  virtual void ExternalAddRef() = 0;                                      // 5
  // One external reference less; the driver is deleted at 0. Returns the
  // new count.
  virtual std::uint32_t nExternalRelease() = 0;                           // 6
  // 1: the SQL face (one external reference for the caller); else null.
  virtual void* piGetInterface(int n) = 0;                                // 7
  virtual int bOpenConnection(INAConnectionDescription* cnx) = 0;         // 8
  virtual int bCloseConnection(INAConnectionDescription* cnx) = 0;        // 9
  virtual int bCopyContext(INACopyCtx* copy, INAContext* from, INAContext* to,
                           unsigned int flags) = 0;                       // 10
  // The driver's error object; no reference added.
  virtual INAError* piGetLastError() = 0;                                 // 11
  virtual int bHMode(INAContext* context, _eNA_HMODE mode) = 0;           // 12
  virtual INATable* piGetTable(INAConnectionDescription* cnx,
                               INADataSourceDescription* source) = 0;     // 13
  virtual int bGetTableList(CAny* result, INAConnectionDescription* cnx,
                            unsigned int flags) = 0;                      // 14
  virtual INADataSourceDescription* piGetTableDesc(const wchar_t* name,
                                                   INAConnectionDescription* cnx) = 0;  // 15
  virtual int bHExecuteRequeteSQL(INATable** table, INAContext* context, const wchar_t* name,
                                  INAConnectionDescription* cnx, ISQLParserInformation* parser,
                                  unsigned int flags) = 0;                // 16
  virtual int bCloseContext(INAContext* context) = 0;                     // 17
  virtual int bTransactionBegin(INAConnectionDescription* cnx, const wchar_t* name) = 0;     // 18
  virtual int bTransactionCommit(INAConnectionDescription* cnx, const wchar_t* name) = 0;    // 19
  virtual int bTransactionRollBack(INAConnectionDescription* cnx, const wchar_t* name) = 0;  // 20
  virtual int bSQLBloqueTable(INAConnectionDescription* cnx, const wchar_t* table) = 0;      // 21
  virtual int bSQLBloqueRequete(INAConnectionDescription* cnx,
                                ISQLParserInformation* parser) = 0;       // 22
  virtual int bSQLFormatColonne(INAConnectionDescription* cnx, CAny* result) = 0;  // 23
  virtual int bHConnexionDiagnose(CAny* result, INAConnectionDescription* cnx, const wchar_t* text,
                                  unsigned int flags) = 0;                // 24
  virtual int bGetProviderList(CAny* result) = 0;                         // 25
  virtual int bTableExists(int* exists, const wchar_t* name, INAConnectionDescription* cnx) = 0;  // 26
  virtual int bGetLinkList(CAny* result, const wchar_t* name, INADataSourceDescription* source,
                           INAConnectionDescription* cnx, unsigned int flags) = 0;  // 27
  virtual int bGetListeSource(CAny* result, int kind) = 0;                // 28
  virtual int bSetQueryParameters(INAContext* context, INAConnectionDescription* cnx,
                                  INAQueryParametersValue* values) = 0;   // 29
  virtual int bSetVMAndLibShop(ILibShop* libShop, IVMData* vmData) = 0;   // 30
  virtual int bFiltreAuto(INAContext* context, INAConnectionDescription* cnx, int mode,
                          const wchar_t* text1, INADataSourceDescription* source1,
                          const wchar_t* text2, INADataSourceDescription* source2) = 0;  // 31
  virtual int SetNextLogicalName(INAContext* context, const wchar_t* name) = 0;  // 32
  virtual int bHExecuteRequeteSQLEx(INATable** table, INAContext* context, const wchar_t* name,
                                    INAConnectionDescription* cnx, ISQLParserInformation* parser,
                                    unsigned int flags, const INAQueryExecution* execution) = 0;  // 33
  virtual int bFreeDataSource(INAContext* context, const wchar_t* name,
                              INAConnectionDescription* cnx) = 0;         // 34
  virtual int bValidConnection(INAConnectionDescription* cnx) = 0;        // 35
  virtual int bSetXQ(IXQForNA* xq) = 0;                                   // 36
  virtual int bSupprimeFichier(INAContext* context, INAConnectionDescription* cnx,
                               const wchar_t* name, INADataSourceDescription* source) = 0;  // 37
  virtual int bGetDatabaseList(CXYString<wchar_t>* result, INAConnectionDescription* cnx,
                               unsigned int flags) = 0;                   // 38

 protected:
  ~INADriver() = default;
};
