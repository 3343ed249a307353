#include "CMainCommun.h"

#include "DllResources.h"

void* CMainCommun::ghModule = nullptr;
bool CMainCommun::ms_bInitCommunFait = false;

int CMainCommun::bInitLibraryCommon(void* hModule) {
  if (ms_bInitCommunFait) return 1;
  ghModule = hModule;
  DLLRES_bInit(hModule, 0);
  ms_bInitCommunFait = true;
  return 1;
}
