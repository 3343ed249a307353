// One profile file held in memory for the profile functions (ProfileString.h):
// its bytes, its encoding, and its lines decoded to wide text.
//
// The whole file is read at once (profile files are small); the lines are
// found in the file's own units (bytes, or 16-bit units after an FF FE mark)
// and end after LF, CR LF or a lone CR. A UTF-16 file is decoded with its
// surrogate pairs combined (a lone surrogate stays a character of its own)
// and a trailing odd byte is no part of its text; an 8-bit file is decoded
// through code page 0, which maps every byte.
//
// A change (bReplace) is written in place: the new text at the start of the
// range, the rest of the file after it, then the file is cut where that ends.
// Bytes outside the range keep their exact value. Once a change is made the
// lines held here no longer describe the file: one change per load.
//
// The object owns its descriptor and memory and frees both when destroyed.
#pragma once

#include <cstddef>

class CProfileFile {
 public:
  CProfileFile() = default;
  ~CProfileFile();
  CProfileFile(const CProfileFile&) = delete;
  CProfileFile& operator=(const CProfileFile&) = delete;

  // Opens `path` (a wide path, UTF-8 at the system call) for reading, or,
  // with bWrite, for reading and writing, creating a missing file (mode 0666
  // less the umask), and loads it. Call once per object. False when the
  // file cannot be opened or read, or memory runs out.
  bool bLoad(const wchar_t* path, bool bWrite);

  std::size_t nGetLineCount() const { return m_nLines; }

  // Decoded text of line i (< nGetLineCount()) with its line end, terminated
  // by a NUL; valid while the object lives. A NUL byte of the file ends the
  // text early.
  const wchar_t* pszGetLine(std::size_t i) const;

  // File offset of the start of line i; i = nGetLineCount() gives the end of
  // the text.
  std::size_t nGetLineOffset(std::size_t i) const;

  // True when the text is empty or its last character is CR or LF.
  bool bEndsWithLineEnd() const;

  // Replaces the file's bytes [from, to) (offsets from nGetLineOffset, from
  // <= to) by `text` (`length` characters) encoded as the file is: UTF-16
  // with surrogate pairs, or code page 0 where a character it lacks becomes
  // "?". Needs a load with bWrite. False when a write or the final cut fails
  // or memory runs out; the file may then be partly rewritten.
  bool bReplace(std::size_t from, std::size_t to, const wchar_t* text, std::size_t length);

 private:
  struct stLine {
    std::size_t nOffset;  // file offset of its first unit
    std::size_t nText;    // index of its first character in m_pText
  };

  bool bReadAll();
  bool bSplitLines();
  bool bDecodeLine(std::size_t from, std::size_t to);
  bool bEncode(const wchar_t* text, std::size_t length, unsigned char** out,
               std::size_t* outLength) const;

  int m_nFd = -1;
  unsigned char* m_pBytes = nullptr;
  std::size_t m_nSize = 0;   // bytes read
  std::size_t m_nStart = 0;  // offset of the text (2 after a UTF-16 mark)
  std::size_t m_nEnd = 0;    // offset of the end of the text
  bool m_bUTF16 = false;
  stLine* m_pLines = nullptr;
  std::size_t m_nLines = 0;
  std::size_t m_nLineCapacity = 0;
  wchar_t* m_pText = nullptr;
  std::size_t m_nText = 0;
  std::size_t m_nTextCapacity = 0;
};
