// CCompresseurBase: the frame shared by the block compressors. A compressed
// block starts with its kind in byte 0, then, little-endian:
// - kind 0 (stored): u32 data length, the data itself (header 5 bytes);
// - kinds 2 and 4: u32 compressed length, u32 uncompressed length, u16 0
//   (header 11 bytes).
// Only the stored kind is carried out here (_dwCompresseCopie and
// _dwDecompresseCopie); a derived class supplies the compression and
// decompression proper through the two pure slots.
//
// dwCompression / dwDecompression record the caller's buffers (which stay
// the caller's; nothing is copied or freed here) for the length of the call
// and run the matching slot under the object's recursive mutex, so one object
// may be shared between threads and a slot may call back into the object.
#pragma once

#include <cstdint>
#include <mutex>

class CCompresseurBase {
 public:
  static constexpr std::uint8_t kbyStored = 0;
  static constexpr std::uint32_t kdwStoredHeader = 5;
  static constexpr std::uint32_t kdwPackedHeader = 11;
  static constexpr std::uint32_t kdwUnknown = 0xFFFFFFFF;

  CCompresseurBase() = default;
  CCompresseurBase(const CCompresseurBase&) = delete;
  CCompresseurBase& operator=(const CCompresseurBase&) = delete;
  virtual ~CCompresseurBase();

  // The whole block length from its header: the u32 at offset 1 plus 5 for
  // kind 0, plus 11 for kinds 2 and 4; any other kind 0xFFFFFFFF. The block
  // must hold at least its header (5 bytes, 9 for kinds 2 and 4).
  virtual std::uint32_t vdwTailleEntree(const void* pBlock) const;
  // The uncompressed length: the u32 at offset 1 for kind 0, at offset 5 for
  // kinds 2 and 4; any other kind 0xFFFFFFFF. Same precondition.
  virtual std::uint32_t dwTailleDecompression(const void* pBlock) const;
  // The output capacity that any n input bytes need: n + 7.
  virtual std::uint32_t dwTailleBufferCompression(std::uint32_t n) const;

  // Records input and output for the call and returns what the compression
  // (decompression) slot returns: the bytes written, 0 on failure.
  std::uint32_t dwCompression(const void* pInput, std::uint32_t dwLength, void* pOutput,
                              std::uint32_t dwCapacity);
  std::uint32_t dwDecompression(const void* pInput, std::uint32_t dwLength, void* pOutput,
                                std::uint32_t dwCapacity);

 protected:
  // The compression proper, on the recorded buffers; bytes written or 0.
  virtual std::uint32_t _vdwCompresse() = 0;
  // The decompression proper, on the recorded buffers; bytes written or 0.
  virtual std::uint32_t _vdwDecompresse() = 0;
  // Writes the header of the kind at the start of the output: 5 bytes for
  // kind 0 (dwCompressed is ignored), 11 for any other kind. Returns the
  // header size, or 0 (nothing written) when the output cannot hold it.
  virtual std::uint32_t _EcritEntete(std::uint8_t byKind, std::uint32_t dwCompressed,
                                     std::uint32_t dwUncompressed);

  // Stored kind: header and a copy of the input. Needs a capacity of at
  // least length + 5; returns length + 5, or 0 (nothing written).
  std::uint32_t _dwCompresseCopie();
  // Stored kind: copies the data of a kind-0 block out. Returns the data
  // length, or 0 (nothing written) when the input is shorter than its header
  // or than the length it declares, is of another kind, or the output cannot
  // hold the data.
  std::uint32_t _dwDecompresseCopie();

  const std::uint8_t* m_pbyEntree = nullptr;
  std::uint32_t m_dwTailleEntree = 0;
  std::uint8_t* m_pbySortie = nullptr;
  std::uint32_t m_dwTailleSortie = 0;

 private:
  std::recursive_mutex m_mutex;
};
