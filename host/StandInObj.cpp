// The stand-in object runtime: a module named and sonamed "kx200obj.so"
// whose MessageBox_QT_W shows nothing, records what it received and returns
// the answer a test set (StandInObjControl.h).
#include <cwchar>

#include "StandInObjControl.h"

#define KX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

int g_nAnswer = 1;
int g_nCalls = 0;
STStandInObjCall g_stLast = {};

void CopyText(wchar_t* out, const wchar_t* text) {
  out[0] = 0;
  if (text == nullptr) return;
  std::wcsncpy(out, text, 255);
  out[255] = 0;
}

}  // namespace

KX_EXPORT int MessageBox_QT_W(void* window, const wchar_t* text, const wchar_t* caption,
                              unsigned int type) {
  ++g_nCalls;
  g_stLast.pWindow = window;
  CopyText(g_stLast.szText, text);
  CopyText(g_stLast.szCaption, caption);
  g_stLast.nType = type;
  g_stLast.bTextNull = text == nullptr;
  g_stLast.bCaptionNull = caption == nullptr;
  return g_nAnswer;
}

KX_EXPORT void StandInObj_Reset() {
  g_nAnswer = 1;
  g_nCalls = 0;
  g_stLast = STStandInObjCall{};
}

KX_EXPORT void StandInObj_SetAnswer(int nAnswer) { g_nAnswer = nAnswer; }

KX_EXPORT int StandInObj_GetCallCount() { return g_nCalls; }

KX_EXPORT int StandInObj_GetLastCall(STStandInObjCall* pstOut) {
  if (g_nCalls == 0 || pstOut == nullptr) return 0;
  *pstOut = g_stLast;
  return 1;
}
