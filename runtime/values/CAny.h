// CAny: the typed value that crosses the boundary with the platform's runtime.
//
// One 56-byte object holds a value of any of the runtime's scalar, text,
// date, binary, table and object types, tagged by a 16-bit type word (low
// byte: the type code; 0x100: NULL, the value area keeps its content; 0x400:
// a mark of the runtime that copies and casts carry and every setter
// clears). Its behaviour per type comes from a handler: a constant table of
// functions per family of type codes (STAnyTable, AnyHandlers.h), whose
// address sits at byte 4 of the value, so switching type swaps a pointer and
// never allocates.
//
// Layout (packed on 4 bytes; a CAny may sit at 4 mod 8, so the table pointer
// and 8-byte fields of the value area are read and written with memcpy):
//   0  leading word (0, unused)
//   4  handler: the table pointer          } CAny_Intern, the address every
//  12  type word                           } handler function takes first
//  16  value area, 40 bytes                }
//
// Ownership: a value owns what its type says (Part of each family, see
// AnyHandlers.h): shared strings and binaries by reference, private strings,
// tables of values, decimal objects, counted objects. Copies (copy
// constructor, assignment, Duplique) follow each family's rule and never
// copy bytes blindly: containers that move bytes must hold CAny* only.
//
// Results of the operations: 0 done; 1 to 99 informative; 102 no such form;
// 103 NULL operand; 104, 105 not possible for this type; 108 too large;
// 115 out of range. One thread at a time per value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "CXYString.h"
#include "SharedStringTypes.h"  // STTabAny, STOCAW (null options: defaults)

class CAny;
class CAny_Intern;
class CTString;
class IDecimal;
class IVMFactory;
struct CMoney;
class CDateTimeBase;
class CDateTime;
class CDureeBase;
class CDuree;

// Type codes of the runtime.
enum : unsigned short {
  ANY_EMPTY = 0,
  ANY_BOOL = 1,
  ANY_UI1 = 2,
  ANY_UI2 = 3,
  ANY_UI4 = 4,
  ANY_UI8 = 5,
  ANY_I1 = 6,
  ANY_I2 = 7,
  ANY_I4 = 8,
  ANY_I8 = 9,
  ANY_CY = 10,
  ANY_R4 = 11,
  ANY_R8 = 12,
  ANY_DECIMAL = 13,
  ANY_UIX = 14,
  ANY_I8_ALIAS = 15,  // stored as 9
  ANY_DSTRW = 16,
  ANY_CARA = 17,
  ANY_PSTRA = 18,
  ANY_DSTRA = 19,
  ANY_DATEW = 24,
  ANY_TIMEW = 25,
  ANY_DATETIME = 26,
  ANY_DUREE = 27,
  ANY_BIN = 28,
  ANY_BUFFER = 29,
  ANY_MEMOIMG = 30,
  ANY_CONVOYEUR = 50,
  ANY_POLICE = 65,
  ANY_CARW = 81,
  ANY_TABANY = 83,
  ANY_OBJET_BASE = 108,
  ANY_PSTRW = 110,
  ANY_DINO = 111,
  ANY_DATEA = 128,
  ANY_TIMEA = 129,
  ANY_OBJET_141 = 141,
  ANY_OBJET_142 = 142,
  ANY_OBJET_143 = 143,
};

// Flags of the type word.
enum : unsigned short {
  ANY_FLAG_NULL = 0x100,
  ANY_FLAG_RUNTIME = 0x400,
  ANY_FLAGS_CLEAR = 0xFAFF,  // mask that clears both
};

// Result codes.
enum : int {
  ANY_OK = 0,
  ANY_ERR_NO_FORM = 102,
  ANY_ERR_NULL = 103,
  ANY_ERR_IMPOSSIBLE_104 = 104,
  ANY_ERR_IMPOSSIBLE = 105,
  ANY_ERR_TOO_LARGE = 108,
  ANY_ERR_RANGE = 115,
};

constexpr std::size_t knAnyValueSize = 40;

#pragma pack(push, 4)
// What nGetManipAUB gives: the buffer handle, the type code, a zero word.
struct STManipAUB {
  void* pBuffer;
  unsigned short wType;
  unsigned short wZero;
};
#pragma pack(pop)


// A handler: one function per slot, each taking the handler's address (the
// value + 4) first. Slots 28 to 30 are the owned-string families' own (null
// elsewhere). Every family's table fills every other slot, with the base
// behaviour where it has none of its own.
struct STAnyTable {
  void (*pfnDestroy)(CAny_Intern*);                                     // 0
  void (*pfnRelease)(CAny_Intern*);                                     // 1
  void (*pfnDuplique)(CAny_Intern*, CAny* pTarget);                     // 2
  int (*pfnGetSize)(CAny_Intern*, std::size_t*);                        // 3
  int (*pfnGetAdr)(CAny_Intern*, void**);                               // 4
  int (*pfnFillBuffer)(CAny_Intern*, void*);                            // 5
  int (*pfnGetDataSize)(CAny_Intern*, std::size_t*);                    // 6
  int (*pfnGetDataAdr)(CAny_Intern*, void**);                           // 7
  int (*pfnFillDataBuffer)(CAny_Intern*, void*);                        // 8
  void (*pfnSetValue)(CAny_Intern*, const void*);                       // 9
  void (*pfnSetValueLen)(CAny_Intern*, const void*, std::size_t);       // 10
  int (*pfnGetPCASTR)(CAny_Intern*, const char**);                      // 11
  int (*pfnGetPCWSTR)(CAny_Intern*, const wchar_t**);                   // 12
  int (*pfnGetSTRLEN)(CAny_Intern*, std::size_t*);                      // 13
  bool (*pfnIsPositive)(CAny_Intern*);                                  // 14
  int (*pfnGetUtilDataSize)(CAny_Intern*, std::size_t*);                // 15
  int (*pfnFillUtilDataBuffer)(CAny_Intern*, void*);                    // 16
  int (*pfnIncremente)(CAny_Intern*);                                   // 17
  int (*pfnDecremente)(CAny_Intern*);                                   // 18
  void (*pfnSetFromANSI)(CAny_Intern*, const void*);                    // 19
  void (*pfnSetFromANSILen)(CAny_Intern*, const void*, std::size_t);    // 20
  void (*pfnSetFromUNICODE)(CAny_Intern*, const void*);                 // 21
  void (*pfnSetFromUNICODELen)(CAny_Intern*, const void*, std::size_t); // 22
  void (*pfnSetFromANSI_CP)(CAny_Intern*, int, const void*);            // 23
  void (*pfnSetFromANSI_CPLen)(CAny_Intern*, int, const void*, std::size_t);     // 24
  void (*pfnSetFromUNICODE_CP)(CAny_Intern*, int, const void*);                  // 25
  void (*pfnSetFromUNICODE_CPLen)(CAny_Intern*, int, const void*, std::size_t);  // 26
  void (*pfnSetValueOption)(CAny_Intern*, const void*, std::size_t, unsigned int);  // 27
  void (*pfnCreateStr)(CAny_Intern*, const void*);                      // 28
  void (*pfnCreateStrLen)(CAny_Intern*, const void*, std::size_t);      // 29
  void (*pfnDeleteStr)(CAny_Intern*);                                   // 30
};

#pragma pack(push, 4)
// The handler part of a value: table pointer, type word, value area. Every
// handler function receives its address; CAny_Intern::pclAny gives the
// whole value back.
class CAny_Intern {
 public:
  unsigned char m_abyTable[sizeof(void*)];
  unsigned short m_wType;
  unsigned short m_wPad;
  unsigned char m_abyValue[knAnyValueSize];

  const STAnyTable* pstTable() const {
    const STAnyTable* p;
    std::memcpy(&p, m_abyTable, sizeof p);
    return p;
  }
  void SetTable(const STAnyTable* p) { std::memcpy(m_abyTable, &p, sizeof p); }
  CAny* pclAny();
  const CAny* pclAny() const;

  // Fields of the value area, read and written whatever their alignment.
  template <typename T>
  T tGet(std::size_t nOffset = 0) const {
    T t;
    std::memcpy(&t, m_abyValue + nOffset, sizeof t);
    return t;
  }
  template <typename T>
  void Put(const T& t, std::size_t nOffset = 0) {
    std::memcpy(m_abyValue + nOffset, &t, sizeof t);
  }
  // The base handler: the empty value (type 0).
  static const STAnyTable ms_stTable;
};

class CAny {
 public:
  std::uint32_t m_dwLeading;
  CAny_Intern m_clIntern;

  CAny();
  ~CAny();
  // The copy pattern: nothing when source and target are one object, else
  // the target releases, empties, takes the source's code (__SetType(code,
  // 0)) and the source's Duplique fills it.
  CAny(const CAny& other);
  CAny& operator=(const CAny& other);

  // ---- Type word --------------------------------------------------------
  unsigned short wGetType() const { return m_clIntern.m_wType; }
  unsigned char nGetTypeCode() const { return static_cast<unsigned char>(m_clIntern.m_wType & 0xFF); }
  bool bIsNull() const { return (m_clIntern.m_wType & ANY_FLAG_NULL) != 0; }
  bool bIsEmpty() const { return m_clIntern.m_wType == 0; }
  // Marks the value NULL (its content is kept) or clears the mark.
  void SetNull(bool bNull = true);
  // Clears 0x100 and 0x400, as every setter does.
  void ClearFlags() { m_clIntern.m_wType &= ANY_FLAGS_CLEAR; }
  // The handler table and the value area.
  const STAnyTable* pstTable() const { return m_clIntern.pstTable(); }
  unsigned char* pbyValue() { return m_clIntern.m_abyValue; }
  const unsigned char* pbyValue() const { return m_clIntern.m_abyValue; }

  // 1. Same whole type word: nothing. 2. Release. 3. The handler of the
  // low byte, the plain code stored (15 as 9; an unknown code gives the
  // empty value). 4. Unless bNoInit, the value area initialised.
  void __SetType(unsigned short wCode, int bNoInit);

  // ---- Setters: the type, the value, flags cleared ----------------------
  void SetBOOL(int b);
  void SetUI1(unsigned char n);
  void SetUI2(unsigned short n);
  void SetUI4(unsigned int n);
  void SetUI8(std::uint64_t n);
  void SetI1(signed char n);
  void SetI2(short n);
  void SetI4(int n);
  void SetI8(std::int64_t n);
  void SetR4(float d);
  void SetR8(double d);
  void SetCY(const CMoney& m);
  void SetDUREE(const CDureeBase& d);
  void SetDUREE(const CDureeBase* pd);
  void SetDATETIME(const CDateTimeBase& dt);
  void SetDATETIME(const CDateTimeBase* pdt);
  void SetDATEA(const char* psz);
  void SetDATEW(const wchar_t* psz);
  void SetDATE(const char* psz) { SetDATEA(psz); }
  void SetDATE(const wchar_t* psz) { SetDATEW(psz); }
  void SetTIMEA(const char* psz);
  void SetTIMEW(const wchar_t* psz);
  void SetTIME(const char* psz) { SetTIMEA(psz); }
  void SetTIME(const wchar_t* psz) { SetTIMEW(psz); }
  void SetBIN(const unsigned char* p, std::size_t n);
  // The current handler's SetValue(p, len), flags cleared; type unchanged.
  void SetValueByte(const void* p, std::size_t n);

  // ---- The handler's operations, forwarded ------------------------------
  void Duplique(CAny* pTarget) const;
  int nGetSize(std::size_t* pn) const;
  int nGetAdr(void** pp) const;
  int nFillBuffer(void* p) const;
  int nGetDataSize(std::size_t* pn) const;
  int nGetDataAdr(void** pp) const;
  int nFillDataBuffer(void* p) const;
  void SetValue(const void* p);
  void SetValue(const void* p, std::size_t n);
  int nGetPCASTR(const char** pp) const;
  int nGetPCWSTR(const wchar_t** pp) const;
  int nGetSTRLEN(std::size_t* pn) const;
  bool bIsPositive() const;
  int nGetUtilDataSize(std::size_t* pn) const;
  int nFillUtilDataBuffer(void* p) const;
  int nIncremente();
  int nDecremente();
  void SetValueFromANSI(const void* p);
  void SetValueFromANSI(const void* p, std::size_t n);
  void SetValueFromUNICODE(const void* p);
  void SetValueFromUNICODE(const void* p, std::size_t n);
  void SetValueFromANSI_CP(int nCodePage, const void* p);
  void SetValueFromANSI_CP(int nCodePage, const void* p, std::size_t n);
  void SetValueFromUNICODE_CP(int nCodePage, const void* p);
  void SetValueFromUNICODE_CP(int nCodePage, const void* p, std::size_t n);
  void SetValueOption(const void* p, std::size_t n, unsigned int nOption);

  // ---- Readers ----------------------------------------------------------
  // A type word above 14 (NULL included) or a value above 255: 115, out
  // unchanged. UI1, I1 as stored; the other integers read unsigned.
  int nGetBYTE(unsigned char& out) const;
  // Out 0 first; BOOL, I4 as is, UI1, UI2 unsigned, I1, I2 signed; else 105.
  int nGetINT(int* pn) const;
  // Out 0 first; BOOL, I4, I1, I2 signed, UI1, UI2, UI4 unsigned, I8; else 105.
  int nGetINT_64(long* pn) const;
  // Out 0 first; UI1, UI2, UI4 unsigned, UI8, I8, UIX as is, I1, I2, I4
  // signed; else (BOOL included) 105.
  int nGetBitField_64(unsigned long& out) const;
  // R4 widened, R8 as is; else 105, out left alone.
  int nGetREAL(double* pd) const;
  // DSTRA, BIN, DSTRW (exact type word): the handle, the code, 0.
  int nGetManipAUB(STManipAUB* pst) const;
  // Type 141 with an object: its processing interface (slot 49); else null.
  void* piGetTraitement() const;
  // Makes a shared string private before it changes in place.
  int nUnshare();
  // Moves a value made by the runtime's operators in: what this value owned
  // released exactly once, __SetType(code, 1), the 40 bytes copied (their
  // pointers now belong to this value).
  void __TransfertValeurInterne(unsigned short wCode, const unsigned char* pbyBuffer);

  // ---- Conversions through the runtime (bound by bInitTNConvFromVM) -----
  int __nCastTo(unsigned short wCode, const STOCAW* pstOptions, unsigned int nFlags);
  static int __s_nCastTo(void* pTarget, const wchar_t* pszText, unsigned short wCode,
                         const STOCAW* pstOptions);
  int __nCastToString(const wchar_t** ppsz, const STOCAW* pstOptions);
  int __nCastToString(const char** ppsz, const STOCAW* pstOptions);
  int __nFillString(CXYString<wchar_t>& out, const STOCAW* pstOptions) const;
  int __nFillString(CXYString<char>& out, const STOCAW* pstOptions) const;
  int __nSetString(const wchar_t* psz, int nLength, const STOCAW* pstOptions);
  int nCastFrom_BIN_DUREE_To_DUREE();
  int nCastFrom_BIN_DATEHEURE_To_DATEHEURE();

 private:
  // Release, then empty (base handler, type 0).
  void _Reset();
  void _CopyFrom(const CAny& other);
};
#pragma pack(pop)

static_assert(sizeof(CAny_Intern) == 52, "handler part of a value");
static_assert(sizeof(CAny) == 56, "a value is 56 bytes");
static_assert(alignof(CAny) == 4, "values are packed on 4 bytes");
static_assert(offsetof(CAny, m_clIntern) == 4, "handler at 4");
static_assert(offsetof(CAny, m_clIntern) + offsetof(CAny_Intern, m_wType) == 12, "type word at 12");
static_assert(offsetof(CAny, m_clIntern) + offsetof(CAny_Intern, m_abyValue) == 16, "value area at 16");

inline CAny* CAny_Intern::pclAny() {
  return reinterpret_cast<CAny*>(reinterpret_cast<unsigned char*>(this) - offsetof(CAny, m_clIntern));
}
inline const CAny* CAny_Intern::pclAny() const {
  return reinterpret_cast<const CAny*>(reinterpret_cast<const unsigned char*>(this) -
                                       offsetof(CAny, m_clIntern));
}
