// The installer's module 76: its error table and its message block take the
// place of the library's (runtime/MyModuleInfo76.cpp), so that the runtime
// code linked into mdbdeploy (streams, files, error objects) reports through
// the installer's texts. This object is linked as an object, ahead of the
// runtime's static library, which then never pulls in the library's
// descriptor or block.
#include "InstallerModule.h"
#include "MyModuleInfo.h"

// Archive results that have a user text; any other code has none.
const _stErrorDef gstInstallerErrorDef[knInstallerErrorDef] = {
    {1, 28598, 1, 2},       {2, 28594, 2, 2},       {3, 28595, 3, 2},
    {4, 28610, 4, 2},       {9, 28616, 9, 2},       {105, 28608, 105, 3},
    {1000, 28597, 1000, 3}, {1001, 28605, 1001, 3},
};

const _stMyModuleInfo gstMyModuleInfo76 = {
    gstInstallerErrorDef, knInstallerErrorDef, 76, L"mdbdeploy", L"20.0.10.0", &bGetResInstaller76,
};
