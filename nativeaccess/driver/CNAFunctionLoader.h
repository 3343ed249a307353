// CNAFunctionLoader: the MariaDB client library, loaded at run time.
//
// The library does not link the client library. The first opening of a
// MariaDB/MySQL connection loads it with dlopen ("libmariadb.so", or the
// file the connection names) and binds, by name, the 27 client functions the
// connection and statement classes call. They call them only through the
// process-wide pointers below (`__mysql_init` ...), never directly.
//
// Every pointer starts on its stub (`DefaultError_mysql_init` ...), a
// function of the same signature that ignores its arguments and throws a
// CTString (by value) holding the client function's name, e.g.
// "mysql_options". So a function that was never bound fails in one known
// way; the callers catch the CTString and report user error 37 with it.
//
// Binding follows the table order: the 20 mandatory functions first (the
// first one missing stops the binding with user error 37, the library stays
// loaded and is not loaded again), then the 7 optional ones (a missing one
// stays on its stub, without error). mysql_real_escape_string comes fifth
// among them: the escaping that follows the connection's SQL mode; the row
// positions mysql_row_tell and mysql_row_seek follow it.
//
// Ownership and lifetime: the one loader (g_pclNAFunctionLoader) is made by
// the first load attempt and owns the library handle; g_Term puts every
// pointer back on its stub, unloads the library and deletes the loader. A
// failed load keeps the loader without a handle, so the next connection
// tries again.
//
// Concurrency: loading and g_Term run under the driver's process-wide lock
// (the load on the thread opening the connection, g_Term at module end);
// the pointers are read without a lock once bound.
#pragma once

#include <string>

class CNAError;
class CTString;

// The client library's handle and result types, seen only through pointers.
struct st_mysql;
struct st_mysql_res;
struct st_mysql_field;
typedef struct st_mysql MYSQL;
typedef struct st_mysql_res MYSQL_RES;
typedef struct st_mysql_field MYSQL_FIELD;
typedef char** MYSQL_ROW;
struct st_mysql_rows;
typedef struct st_mysql_rows* MYSQL_ROW_OFFSET;
typedef unsigned long long my_ulonglong;
typedef char my_bool;
// The option selector of mysql_options, an int-sized enumeration of the
// client library; callers pass the client library's numeric values.
enum mysql_option : int {};

// The client functions, in binding order: (result, name, parameters).
#define KX_MYSQL_MANDATORY_FUNCTIONS(X)                                                         \
  X(const char*, mysql_get_client_info, (void))                                                 \
  X(const char*, mysql_get_server_info, (MYSQL*))                                               \
  X(MYSQL*, mysql_init, (MYSQL*))                                                               \
  X(MYSQL*, mysql_real_connect,                                                                 \
    (MYSQL*, const char*, const char*, const char*, const char*, unsigned int, const char*,    \
     unsigned long))                                                                            \
  X(void, mysql_close, (MYSQL*))                                                                \
  X(unsigned long, mysql_escape_string, (char*, const char*, unsigned long))                    \
  X(int, mysql_real_query, (MYSQL*, const char*, unsigned long))                                \
  X(MYSQL_RES*, mysql_store_result, (MYSQL*))                                                   \
  X(MYSQL_RES*, mysql_use_result, (MYSQL*))                                                     \
  X(void, mysql_free_result, (MYSQL_RES*))                                                      \
  X(MYSQL_FIELD*, mysql_fetch_fields, (MYSQL_RES*))                                             \
  X(unsigned int, mysql_num_fields, (MYSQL_RES*))                                               \
  X(unsigned long*, mysql_fetch_lengths, (MYSQL_RES*))                                          \
  X(void, mysql_data_seek, (MYSQL_RES*, my_ulonglong))                                          \
  X(MYSQL_ROW, mysql_fetch_row, (MYSQL_RES*))                                                   \
  X(my_ulonglong, mysql_num_rows, (MYSQL_RES*))                                                 \
  X(my_ulonglong, mysql_insert_id, (MYSQL*))                                                    \
  X(unsigned int, mysql_errno, (MYSQL*))                                                        \
  X(const char*, mysql_error, (MYSQL*))                                                         \
  X(my_ulonglong, mysql_affected_rows, (MYSQL*))

#define KX_MYSQL_OPTIONAL_FUNCTIONS(X)                                                          \
  X(int, mysql_next_result, (MYSQL*))                                                           \
  X(int, mysql_set_character_set, (MYSQL*, const char*))                                        \
  X(my_bool, mysql_ssl_set,                                                                     \
    (MYSQL*, const char*, const char*, const char*, const char*, const char*))                  \
  X(int, mysql_options, (MYSQL*, enum mysql_option, const void*))                             \
  X(unsigned long, mysql_real_escape_string, (MYSQL*, char*, const char*, unsigned long))

// Optional too, bound after the five above (functions 26 and 27): the row
// positions of a stored result, which let a statement go back to a row
// without walking the result from its first row. Without them the
// statement seeks with mysql_data_seek.
#define KX_MYSQL_ROW_POSITION_FUNCTIONS(X)                                                      \
  X(MYSQL_ROW_OFFSET, mysql_row_tell, (MYSQL_RES*))                                             \
  X(MYSQL_ROW_OFFSET, mysql_row_seek, (MYSQL_RES*, MYSQL_ROW_OFFSET))

// For each function: its pointer type PFN_mysql_..., its throwing stub
// DefaultError_mysql_... and its process-wide pointer __mysql_...
#define KX_MYSQL_DECLARE_FUNCTION(ret, name, params) \
  using PFN_##name = ret(*) params;                  \
  [[noreturn]] ret DefaultError_##name params;       \
  extern PFN_##name __##name;
KX_MYSQL_MANDATORY_FUNCTIONS(KX_MYSQL_DECLARE_FUNCTION)
KX_MYSQL_OPTIONAL_FUNCTIONS(KX_MYSQL_DECLARE_FUNCTION)
KX_MYSQL_ROW_POSITION_FUNCTIONS(KX_MYSQL_DECLARE_FUNCTION)
#undef KX_MYSQL_DECLARE_FUNCTION

class CNAFunctionLoader {
 public:
  CNAFunctionLoader() = default;
  CNAFunctionLoader(const CNAFunctionLoader&) = delete;
  CNAFunctionLoader& operator=(const CNAFunctionLoader&) = delete;
  // Unloads the library when a handle is still held.
  virtual ~CNAFunctionLoader();
  // dlclose of the handle held, if any; the handle is cleared. The pointers
  // are not touched (g_Term resets them).
  virtual void _Term();
  // "libmariadb.so", the library loaded when no other is named.
  virtual const wchar_t* _vpszGetLibraryName();

  // ---- The static face ----------------------------------------------------

  // Loads the library and binds the table. `error` receives the failure
  // (required; a null one only loses the report). `modulePath` (may be
  // null) receives, after a successful load, the full path of the file the
  // dynamic loader mapped, as the loader names it (symbolic links kept).
  // `library` is the file to load: null or empty means "libmariadb.so"; a
  // name with a directory is loaded from exactly there; a bare name is
  // tried in the running program's directory, then by the system's search.
  // `flag` is unused (0).
  // Returns 1 when the library is loaded and every mandatory function bound.
  // 0 with the out-of-memory error when the loader cannot be made.
  // Else 0 with user error 27 (nothing could be loaded: the loader's message
  // as system message; the next call tries again) or 37 (a mandatory
  // function is missing: the library stays loaded, g_bLoaded() is 1).
  // Call while g_bLoaded() is 0; a call while loaded loads nothing more,
  // writes the path and answers whether the binding had completed.
  static int g_bInitNative(CNAError* error, CTString* modulePath, const wchar_t* library,
                           int flag);
  // 1 when the loader exists and holds a library handle.
  static int g_bLoaded();
  // Puts every pointer back on its stub, then unloads the library and
  // deletes the loader. Nothing else to do without a loader.
  static void g_Term();
  // The handle dlopen gave; null when nothing is loaded or no loader exists.
  static void* g_hGetNativeLibHandle();

  // The process's one loader; null before the first load attempt and after
  // g_Term.
  static CNAFunctionLoader* g_pclNAFunctionLoader;

  // *name = the default library name (`flag` unused). Nothing for null.
  void _GetLibraryName(CTString* name, int flag);
  // The work of g_bInitNative, on this loader.
  int _bInitNative(CNAError* error, CTString* modulePath, const wchar_t* library, int flag);

 protected:
  // Makes the loader when there is none; false when it cannot be made
  // (`error` not used: g_bInitNative then reports out of memory).
  static int _g_bInitLoader(CNAError* error);
  // Every attempt `name` calls for, in order, until one loads. On failure
  // *lastFailure holds the dynamic loader's message of the last attempt
  // (empty when it gave none).
  int _bLoadLibraryNative(const wchar_t* name, std::string* lastFailure);
  // One attempt: dlopen of `directory` directly followed by `file` (file
  // alone for a null or empty directory), RTLD_NOW. The handle (null on
  // failure) is stored; *errorNumber gets errno after a failure and
  // *lastFailure the loader's message. The current directory is not
  // changed. True when a handle was obtained.
  int _bLoadLibraryNative(unsigned int* errorNumber, const wchar_t* file,
                          const wchar_t* directory, std::string* lastFailure);
  // The path the dynamic loader records for the handle held into *out
  // (nothing for null); the name given to dlopen when it tells none.
  void _GetLoadedPath(CTString* out) const;

  void* m_hLibrary = nullptr;
  // The binding of the handle held reached its end (every mandatory
  // function bound).
  int m_bBound = 0;
  // The text given to dlopen for the handle held.
  std::string m_sOpenedName;
};
