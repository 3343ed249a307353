// Time-based unique identifiers (in the manner of RFC 4122 version 1) under
// the Windows names.
#pragma once

#include <cstdint>

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using UUID = GUID;

constexpr long RPC_S_OK = 0;

// 100-nanosecond units from 1582-10-15 to 1970-01-01.
constexpr std::uint64_t UUID_GREGORIAN_OFFSET = 122192928000000000ULL;

// A new identifier: the 60-bit count of 100-nanosecond units since
// 1582-10-15 (Data1 its low 32 bits, Data2 the next 16, Data3 the top 12
// with the version 1 in its high nibble), a 13-bit clock sequence with the
// variant bits 0x8000 (Data4[0..1], high byte first) that starts random and
// is incremented whenever the clock has not advanced since the previous
// identifier, and a random node of six bytes drawn once per process
// (Data4[2..7]). Returns RPC_S_OK. The state is process-wide and unlocked:
// call from one thread.
long UuidCreate(UUID* uuid);

// True when the 16 bytes are equal.
bool IsEqualGUID(const GUID& a, const GUID& b);
