// CTStringFormatMessage: a CTString made by the message formatter.
#include <cstdarg>

#include "CTString.h"
#include "DllResources.h"
#include "XMalloc.h"

CTStringFormatMessage::CTStringFormatMessage(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  wchar_t* buffer = nullptr;
  try {
    const unsigned length = DLLRES_dwFormatMessage(format, &buffer, args);
    if (buffer != nullptr) Set(buffer, length);
  } catch (...) {
    // Nothing the formatter allocated may outlive it.
    va_end(args);
    XMALLOC_Del_(buffer);
    throw;
  }
  va_end(args);
  XMALLOC_Del_(buffer);
}
