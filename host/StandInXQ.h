// The stand-in database-engine host interface (IXQForNA) and its linguistic
// text converter, for tests of the wide-text index keys.
//
// The converter folds case: it writes the text's units (4-byte characters
// first turned into UTF-16) with the ASCII and Latin-1 capitals made lower
// case, at most the units it is given, and leaves the others alone. Both
// objects record the arguments of their last call and count their calls, so
// that a test can check what the key writer asked for. The host gives its
// converter unless told to have none. Reserved slots abort the process.
//
// Objects are plain values owned by the test; the host interface must
// outlive every key computed while it is stored (XQForNA_Set).
#pragma once

#include <cstddef>
#include <cstdint>

#include "IXQForNA.h"

class CStandInXQConverter final : public IXQTextConverter {
 public:
  // The last call's arguments (slot 17 or 18 in nSlot).
  struct STCall {
    int nSlot = 0;
    std::size_t nUnits = 0;
    std::size_t nBytes = 0;
    int bNoPunctuation = 0;
    int bNoAccent = 0;
    int bIgnoreCase = 0;
  };

  int nConvertUTF16(std::uint16_t* pDest, std::size_t nUnits, const void* pSource, std::size_t nBytes,
                    int bNoPunctuation, int bNoAccent, int bIgnoreCase) override;
  int nConvertUCS4(std::uint16_t* pDest, std::size_t nUnits, const void* pSource, std::size_t nBytes,
                   int bNoPunctuation, int bNoAccent, int bIgnoreCase) override;

  STCall m_stLast;
  int m_nCalls = 0;

#define KX_STANDIN_XQ_RESERVED(n) void _Reserved##n() override;
  KX_STANDIN_XQ_RESERVED(0) KX_STANDIN_XQ_RESERVED(1) KX_STANDIN_XQ_RESERVED(2) KX_STANDIN_XQ_RESERVED(3)
  KX_STANDIN_XQ_RESERVED(4) KX_STANDIN_XQ_RESERVED(5) KX_STANDIN_XQ_RESERVED(6) KX_STANDIN_XQ_RESERVED(7)
  KX_STANDIN_XQ_RESERVED(8) KX_STANDIN_XQ_RESERVED(9) KX_STANDIN_XQ_RESERVED(10) KX_STANDIN_XQ_RESERVED(11)
  KX_STANDIN_XQ_RESERVED(12) KX_STANDIN_XQ_RESERVED(13) KX_STANDIN_XQ_RESERVED(14) KX_STANDIN_XQ_RESERVED(15)
  KX_STANDIN_XQ_RESERVED(16)
#undef KX_STANDIN_XQ_RESERVED
};

class CStandInXQ final : public IXQForNA {
 public:
  // The last request's arguments.
  struct STRequest {
    int bIgnoreCase = 0;
    int bNoAccent = 0;
    std::size_t nBytes = 0;
    unsigned short nOptions = 0;
    int bFourByteInput = 0;
  };

  IXQTextConverter* piGetTextConverter(int bIgnoreCase, int bNoAccent, std::size_t nBytes,
                                       unsigned short nOptions, int bFourByteInput) override;

  // False: requests answer null (a host without a converter).
  bool m_bHasConverter = true;
  CStandInXQConverter m_clConverter;
  STRequest m_stLast;
  int m_nRequests = 0;

#define KX_STANDIN_XQ_RESERVED(n) void _Reserved##n() override;
  KX_STANDIN_XQ_RESERVED(0) KX_STANDIN_XQ_RESERVED(1) KX_STANDIN_XQ_RESERVED(2) KX_STANDIN_XQ_RESERVED(3)
  KX_STANDIN_XQ_RESERVED(4) KX_STANDIN_XQ_RESERVED(5) KX_STANDIN_XQ_RESERVED(6)
#undef KX_STANDIN_XQ_RESERVED
};
