// Password-keyed ciphers of the installer.
//
// CCrypt: abstract base holding a 16-byte key. A cipher is keyed by
// bSetCryptKey, by bSetPassword/bSetPasswordAnsi (the key derived from the
// password), or by the key argument of Crypt/Uncrypt. BuildCryptKey turns a
// wide password into bytes with PasswordToBytes (the same bytes the archive
// directory digests) and derives the key from them; BuildCryptKeyAnsi takes
// the 8-bit text as it is.
//
// CCryptRC5: RC5 with 32-bit words and a 16-byte key, `r` rounds (a
// constructor parameter, 12 by default). The expanded key table S holds
// 2r + 2 words; it is owned by the object and freed by its destructor. With
// a round count outside 1..255, bSetCryptKey and bSetPassword answer false and
// leave the object as it was. Crypt and Uncrypt transform data of any length
// in place: whole 8-byte blocks chained on the previous output block, then
// each remaining byte through the same rounds on 4-bit halves, chained on the
// previous output byte; Uncrypt(Crypt(x)) == x under the same key. On an
// object that has never been keyed both leave the data unchanged.
//
// The block layout is this system's own: A is the high word (bytes 4-7) and
// B the low word (bytes 0-3), each little-endian; ciphertexts of the
// published RC5 vectors therefore come out with their halves swapped. The
// key derivation (BuildCryptKeyBinary) is a hash of its own whose results
// must never change, since data keyed from passwords depends on them.
//
// Virtual operations of CCrypt after those of CKXUnknown, in slot order:
// bSetCryptKey(bytes, length), bSetCryptKey(key16), BuildCryptKey,
// BuildCryptKeyAnsi, bSetPassword, bSetPasswordAnsi, Crypt, Uncrypt,
// BuildCryptKeyBinary.
#pragma once

#include <cstdint>

#include "CKXUnknown.h"

class CCrypt : public CKXUnknown {
 public:
  // Size of a key in bytes.
  static constexpr unsigned knKeySize = 16;

  CCrypt();
  ~CCrypt() override = default;

  // Stores the key: more than 16 bytes keep the first 16, fewer are padded
  // with zero bytes (a null `bytes` with length 0 gives the zero key). True.
  virtual bool bSetCryptKey(const void* bytes, unsigned length);
  // Stores the 16 bytes of `key16`. True.
  virtual bool bSetCryptKey(const unsigned char* key16);
  // Writes to `key16` the key derived from the wide password (null: no bytes).
  virtual void BuildCryptKey(unsigned char* key16, const wchar_t* password);
  // The same from an 8-bit password taken as it is, up to its NUL (null: no
  // bytes).
  virtual void BuildCryptKeyAnsi(unsigned char* key16, const char* password);
  // Keys the object from a password; false when the key cannot be set.
  virtual bool bSetPassword(const wchar_t* password) = 0;
  virtual bool bSetPasswordAnsi(const char* password) = 0;
  // Transform `length` bytes of `data` in place; a non-null `key16` keys the
  // object first.
  virtual void Crypt(void* data, unsigned length, const unsigned char* key16) = 0;
  virtual void Uncrypt(void* data, unsigned length, const unsigned char* key16) = 0;
  // Writes to `key16` the key derived from `length` bytes.
  virtual void BuildCryptKeyBinary(unsigned char* key16, const void* bytes, unsigned length) = 0;

 protected:
  unsigned char m_abyKey[knKeySize];
};

class CCryptRC5 : public CCrypt {
 public:
  static constexpr int knDefaultRounds = 12;
  static constexpr int knMinRounds = 1;
  static constexpr int knMaxRounds = 255;

  // Not keyed yet; `nRounds` is checked when the object is keyed.
  explicit CCryptRC5(int nRounds = knDefaultRounds);
  ~CCryptRC5() override;
  CCryptRC5(const CCryptRC5&) = delete;
  CCryptRC5& operator=(const CCryptRC5&) = delete;

  // The base's key storage, then the key expansion; false (nothing changed)
  // for a round count outside 1..255 or when the table cannot be allocated.
  bool bSetCryptKey(const void* bytes, unsigned length) override;
  bool bSetCryptKey(const unsigned char* key16) override;
  // BuildCryptKey / BuildCryptKeyAnsi, then bSetCryptKey(key16).
  bool bSetPassword(const wchar_t* password) override;
  bool bSetPasswordAnsi(const char* password) override;
  void Crypt(void* data, unsigned length, const unsigned char* key16) override;
  void Uncrypt(void* data, unsigned length, const unsigned char* key16) override;
  void BuildCryptKeyBinary(unsigned char* key16, const void* bytes, unsigned length) override;

  // True once a key has been expanded.
  bool bIsKeyed() const { return m_pdwS != nullptr; }

 private:
  bool bRoundsValid() const { return m_nRounds >= knMinRounds && m_nRounds <= knMaxRounds; }
  // Expands m_abyKey into a new table S (replacing the old one); false when
  // the table cannot be allocated, the old table then staying.
  bool __bInitTableCle();

  int m_nRounds;
  std::uint32_t* m_pdwS = nullptr;
};
