// The client library, loaded with dlopen and bound by name.
#include "CNAFunctionLoader.h"

#include <dlfcn.h>
#include <link.h>

#include <cerrno>
#include <cstdint>
#include <cwchar>
#include <new>
#include <vector>

#include "CDiskFile.h"
#include "CNAError.h"
#include "CTString.h"
#include "CXError.h"
#include "CodePage.h"
#include "INAError.h"
#include "WinEnvironment.h"

namespace {

constexpr unsigned int knErrLibraryNotLoaded = 27;
constexpr unsigned int knErrFunctionMissing = 37;
// The width of the process, named in the "cannot be loaded" error so that a
// 32-bit client library offered to a 64-bit process reads as the cause.
constexpr int knProcessBits = 64;
// Location lines of the two reporting places.
constexpr int knLocationSource = 4;
constexpr int knLocationLoad = 220;
constexpr int knLocationBind = 221;
// The longest program path tried when looking for the program's directory.
constexpr unsigned int knProgramPathMax = 1u << 16;

}  // namespace

#define KX_WIDE_LITERAL(text) L##text
#define KX_WIDE_NAME(name) KX_WIDE_LITERAL(#name)

// Each stub throws its function's name; the pointer starts on the stub.
#define KX_MYSQL_DEFINE_FUNCTION(ret, name, params) \
  ret DefaultError_##name params { throw CTString(KX_WIDE_NAME(name)); } \
  PFN_##name __##name = &DefaultError_##name;
KX_MYSQL_MANDATORY_FUNCTIONS(KX_MYSQL_DEFINE_FUNCTION)
KX_MYSQL_OPTIONAL_FUNCTIONS(KX_MYSQL_DEFINE_FUNCTION)
KX_MYSQL_ROW_POSITION_FUNCTIONS(KX_MYSQL_DEFINE_FUNCTION)
#undef KX_MYSQL_DEFINE_FUNCTION

namespace {

// One row of the binding table: the exported name, its wide form for the
// error, and how to store an address into the function's pointer (null
// puts the stub back).
struct stBinding {
  const char* pszName;
  const wchar_t* pszWideName;
  void (*pfnSet)(void* address);
};

#define KX_MYSQL_BINDING(ret, name, params)                                               \
  {#name, KX_WIDE_NAME(name), [](void* address) {                                         \
     __##name = address != nullptr ? reinterpret_cast<PFN_##name>(address)                \
                                   : &DefaultError_##name;                                \
   }},
const stBinding gastMandatory[] = {KX_MYSQL_MANDATORY_FUNCTIONS(KX_MYSQL_BINDING)};
const stBinding gastOptional[] = {KX_MYSQL_OPTIONAL_FUNCTIONS(KX_MYSQL_BINDING)
                                       KX_MYSQL_ROW_POSITION_FUNCTIONS(KX_MYSQL_BINDING)};
#undef KX_MYSQL_BINDING

// Every pointer back on its stub, so that nothing points into a library
// that is about to go, or into a file another load replaced.
void ResetTable() {
  for (const stBinding& st : gastMandatory) st.pfnSet(nullptr);
  for (const stBinding& st : gastOptional) st.pfnSet(nullptr);
}

std::string ToUTF8(const wchar_t* text) {
  if (text == nullptr || *text == L'\0') return std::string();
  const int nBytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (nBytes <= 1) return std::string();
  std::string s(static_cast<std::size_t>(nBytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &s[0], nBytes, nullptr, nullptr);
  s.resize(static_cast<std::size_t>(nBytes - 1));
  return s;
}

// The running program's directory, ending with "/"; empty when the
// program's path cannot be read.
std::wstring ProgramDirectory() {
  for (unsigned int nSize = 256; nSize <= knProgramPathMax; nSize *= 2) {
    std::vector<wchar_t> vec(nSize, L'\0');
    if (GetModuleFileNameW(nullptr, vec.data(), nSize)) {
      std::wstring sPath(vec.data());
      const std::size_t nSlash = sPath.find_last_of(L"/\\");
      return nSlash == std::wstring::npos ? std::wstring() : sPath.substr(0, nSlash + 1);
    }
    // A path cut at the buffer's end asks for a larger buffer; any other
    // failure will not get better.
    if (std::wcslen(vec.data()) + 1 < nSize) break;
  }
  return std::wstring();
}

// Builds an error of this library the common way and hands it to `error`.
void RaiseError(CNAError* error, CXError& clErr, unsigned int nCode, int nSite) {
  CNAError::g_SetInfoNames(&clErr, nullptr, nullptr);
  const std::int32_t nNativeCode = static_cast<std::int32_t>(nCode);
  clErr.AddInfo(EIT_NATIVECODE, &nNativeCode);
  CNAError::g_AddDebugInfo(&clErr, knLocationSource, nSite);
  if (error != nullptr) error->AddError(NA_ERRORTYPE_GENERIC, &clErr, nullptr);
}

}  // namespace

CNAFunctionLoader* CNAFunctionLoader::g_pclNAFunctionLoader = nullptr;

CNAFunctionLoader::~CNAFunctionLoader() { CNAFunctionLoader::_Term(); }

void CNAFunctionLoader::_Term() {
  if (m_hLibrary == nullptr) return;
  dlclose(m_hLibrary);
  m_hLibrary = nullptr;
  m_bBound = 0;
  m_sOpenedName.clear();
}

const wchar_t* CNAFunctionLoader::_vpszGetLibraryName() { return L"libmariadb.so"; }

void CNAFunctionLoader::_GetLibraryName(CTString* name, int /*flag*/) {
  if (name != nullptr) name->Set(_vpszGetLibraryName());
}

// ---------------------------------------------------------------------------
// The static face
// ---------------------------------------------------------------------------

int CNAFunctionLoader::_g_bInitLoader(CNAError* /*error*/) {
  if (g_pclNAFunctionLoader == nullptr)
    g_pclNAFunctionLoader = new (std::nothrow) CNAFunctionLoader();
  return g_pclNAFunctionLoader != nullptr;
}

int CNAFunctionLoader::g_bInitNative(CNAError* error, CTString* modulePath,
                                     const wchar_t* library, int flag) {
  if (g_pclNAFunctionLoader == nullptr && !_g_bInitLoader(error)) {
    // A refusal must not read as "no error" to the connection.
    _CXErrorModule76 clErr;
    clErr.SetErrorNoMemory();
    if (error != nullptr) error->AddError(NA_ERRORTYPE_GENERIC, &clErr, nullptr);
    return 0;
  }
  return g_pclNAFunctionLoader->_bInitNative(error, modulePath, library, flag);
}

int CNAFunctionLoader::g_bLoaded() {
  return g_pclNAFunctionLoader != nullptr && g_pclNAFunctionLoader->m_hLibrary != nullptr;
}

void CNAFunctionLoader::g_Term() {
  ResetTable();
  CNAFunctionLoader* pclLoader = g_pclNAFunctionLoader;
  if (pclLoader == nullptr) return;
  pclLoader->_Term();
  g_pclNAFunctionLoader = nullptr;
  delete pclLoader;
}

void* CNAFunctionLoader::g_hGetNativeLibHandle() {
  return g_pclNAFunctionLoader != nullptr ? g_pclNAFunctionLoader->m_hLibrary : nullptr;
}

// ---------------------------------------------------------------------------
// Loading and binding
// ---------------------------------------------------------------------------

int CNAFunctionLoader::_bInitNative(CNAError* error, CTString* modulePath,
                                    const wchar_t* library, int /*flag*/) {
  if (m_hLibrary != nullptr) {
    // Already loaded: a second handle would only leak a reference.
    _GetLoadedPath(modulePath);
    return m_bBound;
  }
  CTString csName;
  if (library != nullptr && library[0] != L'\0') {
    csName.Set(library);
  } else {
    _GetLibraryName(&csName, 0);
  }

  std::string sFailure;
  if (!_bLoadLibraryNative(csName.pszGet(), &sFailure)) {
    _CXErrorModule76 clErr(knErrLibraryNotLoaded, L"MariaDB", csName.pszGet(), knProcessBits);
    clErr.SetSystemErrorMessageA(sFailure.c_str());
    RaiseError(error, clErr, knErrLibraryNotLoaded, knLocationLoad);
    return 0;
  }
  _GetLoadedPath(modulePath);

  ResetTable();
  for (const stBinding& st : gastMandatory) {
    void* pAddress = dlsym(m_hLibrary, st.pszName);
    st.pfnSet(pAddress);
    if (pAddress == nullptr) {
      _CXErrorModule76 clErr(knErrFunctionMissing, st.pszWideName);
      RaiseError(error, clErr, knErrFunctionMissing, knLocationBind);
      return 0;
    }
  }
  for (const stBinding& st : gastOptional) st.pfnSet(dlsym(m_hLibrary, st.pszName));
  m_bBound = 1;
  return 1;
}

int CNAFunctionLoader::_bLoadLibraryNative(const wchar_t* name, std::string* lastFailure) {
  const std::size_t nCapacity = std::wcslen(name) + 1;
  std::vector<wchar_t> vecDirectory(nCapacity, L'\0');
  std::vector<wchar_t> vecFile(nCapacity, L'\0');
  // The split turns backslashes into slashes; the directory keeps its final
  // slash, so that joining adds none (a doubled one would stay in the path
  // the dynamic loader records).
  CDiskFile::__SplitPath(name, vecDirectory.data(), vecFile.data(), nCapacity);
  unsigned int nErrno = 0;
  if (vecDirectory[0] != L'\0')
    return _bLoadLibraryNative(&nErrno, vecFile.data(), vecDirectory.data(), lastFailure);

  const std::wstring sProgramDirectory = ProgramDirectory();
  if (!sProgramDirectory.empty() &&
      _bLoadLibraryNative(&nErrno, vecFile.data(), sProgramDirectory.c_str(), lastFailure))
    return 1;
  return _bLoadLibraryNative(&nErrno, vecFile.data(), nullptr, lastFailure);
}

int CNAFunctionLoader::_bLoadLibraryNative(unsigned int* errorNumber, const wchar_t* file,
                                           const wchar_t* directory, std::string* lastFailure) {
  std::string sPath = ToUTF8(directory);
  sPath += ToUTF8(file);
  dlerror();  // forget an older failure, so the message read below is this one's
  errno = 0;
  m_hLibrary = sPath.empty() ? nullptr : dlopen(sPath.c_str(), RTLD_NOW);
  if (m_hLibrary != nullptr) {
    m_sOpenedName = sPath;
    return 1;
  }
  if (errorNumber != nullptr) *errorNumber = static_cast<unsigned int>(errno);
  const char* pszWhy = sPath.empty() ? nullptr : dlerror();
  if (lastFailure != nullptr) *lastFailure = pszWhy != nullptr ? pszWhy : "";
  return 0;
}

void CNAFunctionLoader::_GetLoadedPath(CTString* out) const {
  if (out == nullptr || m_hLibrary == nullptr) return;
  struct link_map* pstMap = nullptr;
  const char* pszPath = m_sOpenedName.c_str();
  if (dlinfo(m_hLibrary, RTLD_DI_LINKMAP, &pstMap) == 0 && pstMap != nullptr &&
      pstMap->l_name != nullptr && pstMap->l_name[0] != '\0')
    pszPath = pstMap->l_name;
  out->SetANSIEx(pszPath, -1, CP_UTF8);
}
