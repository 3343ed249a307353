// The runtime foundation's share of the library's start: once per process it
// records the library's module handle and starts the message resources.
//
// The mark that the common start was made stays set until the common end
// clears it (the module end, which also frees what the start prepared); a
// start after that runs again. No lock: the library's start runs on the
// runtime's thread before anything else uses the foundation.
#pragma once

class CMainCommun {
 public:
  // First call (or first after the mark was cleared): records `hModule` in
  // ghModule, runs DLLRES_bInit and sets the mark. Later calls do nothing.
  // Always 1.
  static int bInitLibraryCommon(void* hModule);
  // The common end, only when the common start is marked done: clears the
  // mark, frees the query-dump captions, ends the lifecycle object (which
  // sends the end notice when it is owed) and frees the message resources.
  // Otherwise nothing. Always 1. Defined by the native-access layer, beside
  // the lifecycle object it ends, which the foundation does not know.
  static int bTermLibraryCommon();

  // The library's module handle as the common start recorded it; null before.
  static void* ghModule;
  // Set by the common start, cleared by the common end.
  static bool ms_bInitCommunFait;
};
