// Lookup of message records in a packed message block.
//
// A block is a run of records, each:
//   offset 0  u16  record length in bytes, this header included (0 ends the block)
//   offset 2  u16  message identifier; records come in ascending order
//   offset 4  u8   flags: bits 0-1 usage (0-3); bit 6 set: the text unpacks
//                  to UTF-16, clear: to UTF-8
//   offset 5  u16  packed length in bytes
//   offset 7       packed payload (CDataCompressor)
// Multi-byte fields are little-endian and unaligned. In the library's file
// the block lies between the marker texts kszResBlockStart and
// kszResBlockStop; the message packer (tools/kxmsgpack) writes it.
//
// Each block has its own index (CResAnsi76::STRessource): its offset table,
// record count and once-flag. The first lookup walks the block from offset 0,
// adding each record's length, and stops at a length of 0, at a length below
// 7, at a record that would pass the end of the block or whose payload would
// pass the end of the record, or when the offset table is full; later lookups
// use the index as it is. The walk runs once even when lookups race; nothing
// else takes a lock. A block's bytes and offset table must outlive its index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

// One lookup: the caller sets the identifier (compared on its low 16 bits);
// a successful lookup fills the rest.
struct STRessourceModule {
  std::uint32_t nId = 0;
  const unsigned char* pbyData = nullptr;  // first packed byte
  std::uint32_t nPackedLength = 0;
  std::uint32_t nEncoding = 0;             // 1 UTF-8, 2 UTF-16
  std::uint32_t nUsage = 0xFFFFFFFF;       // flags bits 0-1; all ones before the lookup
};

constexpr char kszResBlockStart[] = "KORVEX RES BLOC UTF16 START ";
constexpr char kszResBlockStop[] = "KORVEX RES BLOC UTF16 STOP";

// Record layout.
constexpr std::size_t kResRecordHeader = 7;
constexpr unsigned kResFlagUsageMask = 0x03;
constexpr unsigned kResFlagUTF16 = 0x40;

class CResAnsi76 {
 public:
  // Index of one block.
  struct STRessource {
    constexpr STRessource(const unsigned char* pbyBlock, std::size_t nBlockSize,
                          std::uint32_t* pnOffsets, std::uint32_t nMaxRecords)
        : m_pbyBlock(pbyBlock),
          m_nBlockSize(nBlockSize),
          m_pfnCompare(&CResAnsi76::nCompareRes),
          m_pnOffsets(pnOffsets),
          m_nMaxRecords(nMaxRecords) {}
    STRessource(const STRessource&) = delete;
    STRessource& operator=(const STRessource&) = delete;

    const unsigned char* m_pbyBlock;
    std::size_t m_nBlockSize;  // bytes from m_pbyBlock to the block's end
    int (*m_pfnCompare)(const void*, const void*);
    std::uint32_t* m_pnOffsets;
    std::uint32_t m_nMaxRecords;
    std::once_flag m_stBuilt;
    std::uint32_t m_nRecords = 0;
  };

  // Key handed to bsearch: the asked identifier and the block it searches.
  struct STKey {
    std::uint32_t nId;
    const unsigned char* pbyBlock;
  };

  // bsearch comparison: the asked identifier's low 16 bits minus the
  // identifier of the record at offset *(const uint32_t*)pRecordOffset.
  static int nCompareRes(const void* pKey, const void* pRecordOffset);

  // Builds the index on first use, then searches `pstRequest->nId`. Found:
  // fills payload, packed length, usage and encoding and returns true.
  // Unknown: false, the request unchanged.
  static bool s_bGetRes(STRessource& stIndex, STRessourceModule* pstRequest);

  // Records the index holds (builds it first).
  static std::uint32_t s_nGetRecordCount(STRessource& stIndex);

  // The library's own block (written by the message packer at build time).
  static STRessource m_stRessource;
};

// The library's packed block, right after its start marker.
extern const unsigned char* const _pbyBufferRes76;

// Lookup in the library's own block: the resource callback of
// gstMyModuleInfo76.
bool bGetResAnsi76(STRessourceModule* pstRequest);
