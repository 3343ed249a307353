// The database-engine host's interface as the driver receives it (the
// driver's bSetXQ), and the linguistic text converter it hands out.
//
// The library calls exactly one operation of each: the host's slot 7, which
// gives a converter for a way of keying wide text, and the converter's slot
// 17 (16-bit input) or 18 (4-byte input), which writes the linguistic form
// of a text as 16-bit units. The other slots exist only so that these two
// sit where the host's tables put them; they are never called. No other
// virtual member may be added (not even a destructor): it would shift the
// slots. Objects belong to the host: the converter lives as long as the host
// interface that gave it, and the library never releases either.
#pragma once

#include <cstddef>
#include <cstdint>

class IXQTextConverter {
 public:
  virtual void _Reserved0() = 0;
  virtual void _Reserved1() = 0;
  virtual void _Reserved2() = 0;
  virtual void _Reserved3() = 0;
  virtual void _Reserved4() = 0;
  virtual void _Reserved5() = 0;
  virtual void _Reserved6() = 0;
  virtual void _Reserved7() = 0;
  virtual void _Reserved8() = 0;
  virtual void _Reserved9() = 0;
  virtual void _Reserved10() = 0;
  virtual void _Reserved11() = 0;
  virtual void _Reserved12() = 0;
  virtual void _Reserved13() = 0;
  virtual void _Reserved14() = 0;
  virtual void _Reserved15() = 0;
  virtual void _Reserved16() = 0;
  // 17: writes the linguistic form of the text of nBytes bytes of 16-bit
  // units at pSource into the nUnits units at pDest (never more; the units
  // it does not use are left as they are). bNoPunctuation, bNoAccent and
  // bIgnoreCase say what the key ignores. Returns the units written.
  virtual int nConvertUTF16(std::uint16_t* pDest, std::size_t nUnits, const void* pSource,
                            std::size_t nBytes, int bNoPunctuation, int bNoAccent, int bIgnoreCase) = 0;
  // 18: the same from a text of 4-byte characters.
  virtual int nConvertUCS4(std::uint16_t* pDest, std::size_t nUnits, const void* pSource,
                           std::size_t nBytes, int bNoPunctuation, int bNoAccent, int bIgnoreCase) = 0;

 protected:
  ~IXQTextConverter() = default;
};

class IXQForNA {
 public:
  virtual void _Reserved0() = 0;
  virtual void _Reserved1() = 0;
  virtual void _Reserved2() = 0;
  virtual void _Reserved3() = 0;
  virtual void _Reserved4() = 0;
  virtual void _Reserved5() = 0;
  virtual void _Reserved6() = 0;
  // 7: the converter for keys ignoring case (bIgnoreCase) and accents
  // (bNoAccent) of texts of nBytes bytes, with the key options, from 16-bit
  // units (bFourByteInput 0) or 4-byte characters (1). Null: the host has
  // none, and the text is keyed without linguistic handling.
  virtual IXQTextConverter* piGetTextConverter(int bIgnoreCase, int bNoAccent, std::size_t nBytes,
                                               unsigned short nOptions, int bFourByteInput) = 0;

 protected:
  ~IXQForNA() = default;
};
