// The module's side of the platform runtime's lifecycle.
//
// One process-wide object (gpclExecutionDLL76, null when absent) exists from
// the first initialise message (or self-initialisation) until the terminate
// message that balances the last initialise, or until module end. It records
// the runtime's module and the runtime's own "Execution", through which the
// module asks for information (message 3053) that it stores in
// CInformationDLL / CInformationModule, requests call stacks (3184) and
// announces its end (3052, sent at most once, and only when the object was
// made by an initialise message and not ended by a terminate message).
//
// A module may derive its own class and override the eight hooks; this
// library uses the base behaviour. No lock: the runtime sends lifecycle
// messages from one thread.
#pragma once

#include <cstdint>

#include "KxExecution.h"
#include "KxOpaqueInterfaces.h"

class CXError;

class CBaseExecutionDLL {
 public:
  CBaseExecutionDLL() = default;
  virtual ~CBaseExecutionDLL() = default;
  CBaseExecutionDLL(const CBaseExecutionDLL&) = delete;
  CBaseExecutionDLL& operator=(const CBaseExecutionDLL&) = delete;

  // Hooks, in the slot order the runtime's modules share.
  virtual int vbInitialiseDLL();                               // base: 1
  virtual void vSetUtilisation(unsigned int, unsigned int);    // base: nothing
  virtual void vTermineDLL();                                  // base: nothing
  virtual void vChangeLangue();                                // base: nothing
  virtual void vDesactiveApplication();                        // base: nothing
  virtual void vReactiveApplication();                         // base: nothing
  virtual int vbInitialiseTypeDINO(CXError* pclError);         // base: 1
  virtual int vbDumpMemoire(IDumpMemoire* piDump);             // base: 0

  // Handles message `nMessage` with `pParam` (the export Execution).
  static std::int64_t s_nExecution(unsigned int nMessage, void* pParam);

  // The runtime's module recorded by initialisation; null without one.
  static kx::HMODULE s_hGetHinstanceVM();
  // Asks item 7 when no library shop is known yet and the object exists.
  static void s_InitLibShopMoiMeme();
  // Sends the call-stack request (message 3184); 1 when the runtime answers
  // non-zero, 0 without object or runtime entry.
  static int s_bRemplitPileC(int n1, wchar_t* psz, int n3, int n4);
  // Answers to items 6 and 11, asked on demand; 0 without a runtime entry.
  static std::int64_t _bUtiliseNET();
  static std::int64_t s_eGetModeSmartphone();
  // Initialisation without message 3985 (a module used outside the runtime's
  // lifecycle). 1 when the object exists afterwards; such an object never
  // sends the end notice.
  static int s_bInitialiseMoiMeme(kx::HMODULE hModule);
  // Deletes the object without telling the runtime.
  static void s_TermineMoiMeme();
  // Module end: sends 3052 and deletes the object when it is owed the notice;
  // otherwise leaves everything as it is.
  static void s_TermineDLL();

  // Count of initialise messages received and not yet balanced.
  static unsigned int ms_nNbInitialisation;

  kx::HMODULE hGetModuleVM() const { return m_hModuleVM; }
  kx::PFN_EXECUTION_VM pfnGetExecutionVM() const { return m_pfnExecutionVM; }
  bool bSansNotificationFin() const { return m_nSansNotificationFin != 0; }

 private:
  // Records the module and asks the common items 9, 10, 12, 13, 15; false
  // when the module has no "Execution".
  bool _bInitialiseCommun(kx::HMODULE hModule);
  // Full initialisation for message 3985.
  int _nInitialise(kx::HMODULE hModule, ILibShop* piLibShop);
  std::int64_t _nAskVM(int nItem) const;

  kx::HMODULE m_hModuleVM = nullptr;
  kx::PFN_EXECUTION_VM m_pfnExecutionVM = nullptr;
  std::uint32_t m_nSansNotificationFin = 0;
};

extern CBaseExecutionDLL* gpclExecutionDLL76;

// The module's export: lifecycle messages from the runtime.
extern "C" __attribute__((visibility("default"))) std::int64_t Execution(unsigned int nMessage,
                                                                         void* pParam);
