#include "WinUuid.h"

#include <sys/random.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

namespace {

// Clock sequence, last time and node are shared by every caller: two threads
// in the same tick must still get different UUIDs.
std::mutex g_mtxUuid;
bool g_bUuidReady = false;
std::uint16_t g_nClockSequence = 0;
std::uint64_t g_nLastTime = 0;
std::uint8_t g_abyNode[6];

// Random bytes from the system; when it has none to give, a mix of the
// clock and the process id (still distinct between processes).
void RandomBytes(void* out, std::size_t n) {
  if (getrandom(out, n, 0) == static_cast<ssize_t>(n)) return;
  struct timeval now;
  gettimeofday(&now, nullptr);
  std::uint64_t x = (static_cast<std::uint64_t>(now.tv_sec) << 20) ^
                    static_cast<std::uint64_t>(now.tv_usec) ^
                    (static_cast<std::uint64_t>(getpid()) << 40);
  auto* p = static_cast<std::uint8_t*>(out);
  for (std::size_t i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    p[i] = static_cast<std::uint8_t>(x);
  }
}

}  // namespace

long UuidCreate(UUID* uuid) {
  std::lock_guard<std::mutex> lock(g_mtxUuid);
  if (!g_bUuidReady) {
    RandomBytes(&g_nClockSequence, sizeof(g_nClockSequence));
    RandomBytes(g_abyNode, sizeof(g_abyNode));
    g_bUuidReady = true;
  }
  struct timeval now;
  gettimeofday(&now, nullptr);
  const std::uint64_t nTime = static_cast<std::uint64_t>(now.tv_sec) * 10000000 +
                              static_cast<std::uint64_t>(now.tv_usec) * 10 + UUID_GREGORIAN_OFFSET;
  if (nTime <= g_nLastTime) ++g_nClockSequence;
  g_nLastTime = nTime;
  const std::uint16_t nSequence = static_cast<std::uint16_t>((g_nClockSequence & 0x1FFF) | 0x8000);

  uuid->Data1 = static_cast<std::uint32_t>(nTime);
  uuid->Data2 = static_cast<std::uint16_t>(nTime >> 32);
  uuid->Data3 = static_cast<std::uint16_t>(((nTime >> 48) & 0x0FFF) | 0x1000);
  uuid->Data4[0] = static_cast<std::uint8_t>(nSequence >> 8);
  uuid->Data4[1] = static_cast<std::uint8_t>(nSequence);
  std::memcpy(uuid->Data4 + 2, g_abyNode, sizeof(g_abyNode));
  return RPC_S_OK;
}

bool IsEqualGUID(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
