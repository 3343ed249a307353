// The runtime foundation's common end, defined here because it ends the
// library's lifecycle object.
#include "CMainCommun.h"

#include "CBaseExecutionDLL.h"
#include "CKXVariant.h"
#include "DllResources.h"

int CMainCommun::bTermLibraryCommon() {
  if (!CMainCommun::ms_bInitCommunFait) return 1;
  CMainCommun::ms_bInitCommunFait = false;
  CKXVariant::FreeQueryDumpRessources();
  CBaseExecutionDLL::s_TermineDLL();
  DLLRES_Term();
  return 1;
}
