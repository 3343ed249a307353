// The runtime's decimal object and the factory that makes it.
//
// A typed value of type DECIMAL (13) holds one IDecimal made by the runtime's
// factory (IVMFactory, obtained from the runtime's "pQueryProxy" with the
// identifier 102) and gives it back to the same factory. The library relies
// only on the slots below, at these positions; the slots marked reserved
// exist so that the positions match the runtime's table and are never
// called. No virtual destructor: objects go back through the factory.
//
// Forms of a decimal:
// - native form: the record engine's bytes of a decimal of precision p, a
//   two's-complement integer of mg_PToN(p) bytes holding the unscaled value
//   (value x 10^scale), least significant byte first;
// - data form: 18 bytes, the value's own (what nFillDataBuffer writes);
// - key form: 32 bytes that compare, byte by byte unsigned, in the order of
//   the values.
// Results: 0 done, above 99 a failure (105: not possible).
#pragma once

#include <cstddef>

class IDecimal {
 public:
  // 0, 1: the native bytes of the value at its own precision and scale, and
  // their count (mg_PToN(precision)). The address stays valid until the
  // object changes.
  virtual const void* pGetData() = 0;
  virtual std::size_t nGetDataSize() = 0;
  // 2: loads the native form `p` of a decimal of nPrecision digits with
  // nScale decimals; the object takes that precision and scale.
  virtual int nSetFromNative(const void* p, int nPrecision, int nScale) = 0;
  // 3: its precision and scale.
  virtual int nGetPrecisionScale(int* pnPrecision, int* pnScale) = 0;
  // 4: writes the native form at nPrecision and nScale into p
  // (mg_PToN(nPrecision) bytes); a value that does not fit fails.
  virtual int nGetNative(void* p, int nPrecision, int nScale) = 0;
  // 5: writes the 18-byte data form into p.
  virtual int nGetData18(void* p) = 0;
  // 6: loads from bytes: the 18-byte data form (n = 18).
  virtual int nSetFromBytes(const void* p, std::size_t n) = 0;
  // 7: writes the 32-byte key form into p.
  virtual int nGetKey32(void* p) = 0;
  // 8: becomes the smallest (bMaximum 0) or largest value of its precision
  // and scale.
  virtual int nSetLimit(int bMaximum) = 0;
  // 9: takes the value, precision and scale of another decimal.
  virtual int nSetFromDecimal(IDecimal* piOther) = 0;
  // 10 to 22: reserved.
  virtual void _Reserved10() = 0;
  virtual void _Reserved11() = 0;
  virtual void _Reserved12() = 0;
  virtual void _Reserved13() = 0;
  virtual void _Reserved14() = 0;
  virtual void _Reserved15() = 0;
  virtual void _Reserved16() = 0;
  virtual void _Reserved17() = 0;
  virtual void _Reserved18() = 0;
  virtual void _Reserved19() = 0;
  virtual void _Reserved20() = 0;
  virtual void _Reserved21() = 0;
  virtual void _Reserved22() = 0;
  // 23: sign test, 0 for a positive value or zero, 1 for a negative one.
  virtual int nGetSign() = 0;
  // 24: sets precision (1 to 38) and scale (0 to precision), the value
  // rescaled.
  virtual int nSetPrecisionScale(int nPrecision, int nScale) = 0;

  // Bytes of the native form of a decimal of p digits (1 to 38): the
  // smallest n with 10^p - 1 <= 2^(8n - 1) - 1; 0 outside 1 to 38.
  static int mg_PToN(int p) {
    if (p < 1 || p > 38) return 0;
    unsigned __int128 uLargest = 1;  // 10^p - 1, then compared
    for (int i = 0; i < p; ++i) uLargest *= 10;
    uLargest -= 1;
    for (int n = 1; n < 16; ++n)
      if (uLargest <= (static_cast<unsigned __int128>(1) << (8 * n - 1)) - 1) return n;
    return 16;
  }

 protected:
  ~IDecimal() = default;
};

// The runtime's factory (pQueryProxy(102)): slot 0 makes a decimal (the
// argument is 0: the value 0 at the factory's default precision and scale),
// slot 1 gives one back. Null from slot 0 is a shortage.
class IVMFactory {
 public:
  virtual IDecimal* piCreateDecimal(int nKind) = 0;
  virtual void ReleaseDecimal(IDecimal* piDecimal) = 0;

 protected:
  ~IVMFactory() = default;
};
