// The MariaDB ODBC driver, where the machine has it, reached through the
// unixODBC driver manager loaded at run time: nothing of ODBC is needed to
// build a benchmark, and no system ODBC set-up is read or changed (the
// connection is DSN-less, naming the driver's library by its path).
//
// OdbcSession::bLoad finds the driver manager (libodbc.so.2) and the driver
// (libmaodbc.so, or the path in KX_ODBC_DRIVER); when either is missing the
// session says so (sWhyNot) and a benchmark prints "not installed". bConnect
// opens one connection; nFetchAll runs one SELECT and reads every row by
// SQLFetch into bound columns. Everything is given back at the session's end.
//
// Only the handful of standard ODBC calls and codes used here are declared
// (64-bit SQLLEN, as the driver manager of 64-bit Linux builds it).
// Header only, standard library and POSIX alone.
#pragma once

#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

namespace kxbench {

class OdbcSession {
 public:
  // The C types of a bound column.
  enum eBind : short {
    BIND_LONG = -16,       // SQL_C_SLONG, 4 bytes
    BIND_TINYINT = -26,    // SQL_C_STINYINT, 1 byte
    BIND_TEXT = 1,         // SQL_C_CHAR, NUL-terminated
    BIND_TIMESTAMP = 93,   // SQL_C_TYPE_TIMESTAMP, 16 bytes
  };
  struct stColumn {
    eBind eType;
    long nBytes;  // the buffer's size
  };

  OdbcSession() = default;
  OdbcSession(const OdbcSession&) = delete;
  OdbcSession& operator=(const OdbcSession&) = delete;
  ~OdbcSession() {
    if (m_hDbc != nullptr) {
      if (m_bConnected) m_pfnDisconnect(m_hDbc);
      m_pfnFreeHandle(kHandleDbc, m_hDbc);
    }
    if (m_hEnv != nullptr) m_pfnFreeHandle(kHandleEnv, m_hEnv);
    if (m_hManager != nullptr) dlclose(m_hManager);
  }

  // True when the driver manager and the driver are both there; else
  // sWhyNot says which is missing.
  bool bLoad() {
    const char* pszDriver = std::getenv("KX_ODBC_DRIVER");
    if (pszDriver != nullptr && *pszDriver != 0) {
      m_sDriver = pszDriver;
    } else {
      for (const char* psz : {"/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so", "/usr/lib64/libmaodbc.so",
                              "/usr/lib64/mariadb/libmaodbc.so", "/usr/lib/libmaodbc.so",
                              "/usr/local/lib/libmaodbc.so", "/usr/local/lib/mariadb/libmaodbc.so"}) {
        if (access(psz, R_OK) == 0) {
          m_sDriver = psz;
          break;
        }
      }
    }
    if (m_sDriver.empty() || access(m_sDriver.c_str(), R_OK) != 0) {
      sWhyNot = "no MariaDB ODBC driver";
      return false;
    }
    m_hManager = dlopen("libodbc.so.2", RTLD_NOW | RTLD_LOCAL);
    if (m_hManager == nullptr) m_hManager = dlopen("libodbc.so", RTLD_NOW | RTLD_LOCAL);
    if (m_hManager == nullptr) {
      sWhyNot = "no ODBC driver manager";
      return false;
    }
    bool bAll = true;
    auto find = [&](auto& pfn, const char* name) {
      pfn = reinterpret_cast<std::remove_reference_t<decltype(pfn)>>(dlsym(m_hManager, name));
      bAll = bAll && pfn != nullptr;
    };
    find(m_pfnAllocHandle, "SQLAllocHandle");
    find(m_pfnFreeHandle, "SQLFreeHandle");
    find(m_pfnSetEnvAttr, "SQLSetEnvAttr");
    find(m_pfnDriverConnect, "SQLDriverConnect");
    find(m_pfnDisconnect, "SQLDisconnect");
    find(m_pfnExecDirect, "SQLExecDirect");
    find(m_pfnBindCol, "SQLBindCol");
    find(m_pfnFetch, "SQLFetch");
    find(m_pfnFreeStmt, "SQLFreeStmt");
    find(m_pfnGetDiagRec, "SQLGetDiagRec");
    if (!bAll) sWhyNot = "the ODBC driver manager lacks a function";
    return bAll;
  }

  // Opens the connection (DSN-less). False with sWhyNot set.
  bool bConnect(const std::string& host, const std::string& port, const std::string& user,
                const std::string& password, const std::string& database) {
    if (!bOk(m_pfnAllocHandle(kHandleEnv, nullptr, &m_hEnv)) ||
        !bOk(m_pfnSetEnvAttr(m_hEnv, kAttrOdbcVersion, reinterpret_cast<void*>(3L), 0)) ||
        !bOk(m_pfnAllocHandle(kHandleDbc, m_hEnv, &m_hDbc))) {
      sWhyNot = "ODBC handles refused";
      return false;
    }
    const std::string sIn = "DRIVER=" + m_sDriver + ";SERVER=" + host + ";PORT=" + port + ";USER=" + user +
                            ";PASSWORD=" + password + ";DATABASE=" + database + ";OPTION=0;";
    unsigned char szOut[1024];
    short nOut = 0;
    if (!bOk(m_pfnDriverConnect(m_hDbc, nullptr, reinterpret_cast<const unsigned char*>(sIn.c_str()), kNts, szOut,
                                sizeof szOut, &nOut, 0))) {
      sWhyNot = "connection refused: " + Diagnostic(kHandleDbc, m_hDbc);
      return false;
    }
    m_bConnected = true;
    return true;
  }

  // Runs `query`, binds `columns` in order and fetches every row, adding
  // the first column (a 4-byte integer) of each to *sum. The number of
  // rows, or -1 with sWhyNot set.
  long nFetchAll(const std::string& query, const std::vector<stColumn>& columns, std::uint64_t* sum) {
    void* hStmt = nullptr;
    if (!bOk(m_pfnAllocHandle(kHandleStmt, m_hDbc, &hStmt))) {
      sWhyNot = "statement refused";
      return -1;
    }
    long nRows = -1;
    do {
      long nTotal = 0;
      for (const stColumn& col : columns) nTotal += (col.nBytes + 7) & ~7L;
      m_vecBuffer.assign(static_cast<std::size_t>(nTotal), 0);
      m_vecIndicators.assign(columns.size(), 0);
      long nAt = 0;
      for (std::size_t c = 0; c < columns.size(); ++c) {
        if (!bOk(m_pfnBindCol(hStmt, static_cast<unsigned short>(c + 1), columns[c].eType,
                              m_vecBuffer.data() + nAt, columns[c].nBytes, &m_vecIndicators[c]))) {
          sWhyNot = "bind refused: " + Diagnostic(kHandleStmt, hStmt);
          break;
        }
        nAt += (columns[c].nBytes + 7) & ~7L;
      }
      if (!sWhyNot.empty()) break;
      if (!bOk(m_pfnExecDirect(hStmt, reinterpret_cast<const unsigned char*>(query.c_str()),
                               static_cast<int>(query.size())))) {
        sWhyNot = "SELECT refused: " + Diagnostic(kHandleStmt, hStmt);
        break;
      }
      long n = 0;
      short r;
      while (bOk(r = m_pfnFetch(hStmt))) {
        std::int32_t nFirst;
        __builtin_memcpy(&nFirst, m_vecBuffer.data(), 4);
        *sum += static_cast<std::uint64_t>(nFirst);
        ++n;
      }
      if (r != kNoData) {
        sWhyNot = "fetch failed: " + Diagnostic(kHandleStmt, hStmt);
        break;
      }
      m_pfnFreeStmt(hStmt, kClose);
      nRows = n;
    } while (false);
    m_pfnFreeHandle(kHandleStmt, hStmt);
    return nRows;
  }

  std::string sWhyNot;

 private:
  static constexpr short kHandleEnv = 1, kHandleDbc = 2, kHandleStmt = 3;
  static constexpr int kAttrOdbcVersion = 200;
  static constexpr short kNts = -3, kNoData = 100;
  static constexpr unsigned short kClose = 0;
  static bool bOk(short r) { return r == 0 || r == 1; }

  std::string Diagnostic(short kind, void* handle) {
    unsigned char szState[8] = {}, szText[512] = {};
    int nNative = 0;
    short nLength = 0;
    if (!bOk(m_pfnGetDiagRec(kind, handle, 1, szState, &nNative, szText, sizeof szText, &nLength)))
      return "(no diagnostic)";
    return std::string(reinterpret_cast<char*>(szState)) + " " + reinterpret_cast<char*>(szText);
  }

  std::string m_sDriver;
  void* m_hManager = nullptr;
  void* m_hEnv = nullptr;
  void* m_hDbc = nullptr;
  bool m_bConnected = false;
  std::vector<char> m_vecBuffer;
  std::vector<long> m_vecIndicators;

  short (*m_pfnAllocHandle)(short, void*, void**) = nullptr;
  short (*m_pfnFreeHandle)(short, void*) = nullptr;
  short (*m_pfnSetEnvAttr)(void*, int, void*, int) = nullptr;
  short (*m_pfnDriverConnect)(void*, void*, const unsigned char*, short, unsigned char*, short, short*,
                              unsigned short) = nullptr;
  short (*m_pfnDisconnect)(void*) = nullptr;
  short (*m_pfnExecDirect)(void*, const unsigned char*, int) = nullptr;
  short (*m_pfnBindCol)(void*, unsigned short, short, void*, long, long*) = nullptr;
  short (*m_pfnFetch)(void*) = nullptr;
  short (*m_pfnFreeStmt)(void*, unsigned short) = nullptr;
  short (*m_pfnGetDiagRec)(short, void*, short, unsigned char*, int*, unsigned char*, short, short*) = nullptr;
};

}  // namespace kxbench
