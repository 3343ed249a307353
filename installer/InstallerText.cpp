#include "InstallerText.h"

#include <sys/time.h>

#include <cstring>
#include <cwchar>
#include <vector>

#include "UnicodeConversion.h"

void STR_Ellipsis(wchar_t* destination, const wchar_t* source, int width, int position) {
  if (width <= 2 || destination == nullptr || source == nullptr) return;
  const std::size_t length = std::wcslen(source);
  const std::size_t w = static_cast<std::size_t>(width);
  if (length <= w) {
    std::wmemcpy(destination, source, length + 1);
    return;
  }
  const std::size_t n = w - 3;
  switch (position) {
    case 0:
      std::wmemcpy(destination, source, n);
      std::wmemcpy(destination + n, L"...", 4);
      break;
    case 1: {
      const std::size_t head = n / 2;
      const std::size_t tail = (w - 2) / 2;
      std::wmemcpy(destination, source, head);
      std::wmemcpy(destination + head, L"...", 3);
      std::wmemcpy(destination + head + 3, source + length - tail, tail);
      destination[head + 3 + tail] = L'\0';
      break;
    }
    case 2:
      std::wmemcpy(destination, L"...", 3);
      std::wmemcpy(destination + 3, source + length - n, n + 1);
      break;
    default:
      break;
  }
}

void vYield(...) {}

void vResetYield(long* deadline) {
  if (deadline == nullptr) return;
  timeval tv{};
  gettimeofday(&tv, nullptr);
  *deadline = static_cast<long>(tv.tv_usec) + 500;
}

bool __bWriteTextMemoire(FILE* file, const wchar_t* text, long count) {
  if (file == nullptr || text == nullptr || count <= 0) return false;
  std::vector<unsigned char> bytes;
  bytes.reserve(static_cast<std::size_t>(count) * 2);
  auto put = [&bytes](unsigned unit) {
    bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
    bytes.push_back(static_cast<unsigned char>(unit >> 8));
  };
  for (long i = 0; i < count; ++i) {
    const wchar_t c = text[i];
    if (c < 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      put('?');
    } else if (c > 0xFFFF) {
      const unsigned v = static_cast<unsigned>(c) - 0x10000;
      put(0xD800 + (v >> 10));
      put(0xDC00 + (v & 0x3FF));
    } else {
      put(static_cast<unsigned>(c));
    }
  }
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

wchar_t* __UNALIGNED__UNICODE__STRCPY__(wchar_t* destination, const wchar_t* source) {
  const std::size_t n = __UNALIGNED__UNICODE__STRLEN__(source) + 1;
  std::memmove(destination, source, n * sizeof(wchar_t));
  return destination;
}
