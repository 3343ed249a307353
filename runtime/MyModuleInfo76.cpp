#include "MyModuleInfo.h"

#include "CResAnsi76.h"

// The user-error table joins the descriptor with the error object that reads it.
const _stMyModuleInfo gstMyModuleInfo76 = {
    nullptr, 0, 76, L"kx200maria64.so", L"20.0.10.0", &bGetResAnsi76,
};
