// Packing of message texts into a message block, the inverse of
// CDataCompressor and CResAnsi76; used at build time by kxmsgpack, and by
// tests that build blocks of their own. Header-only: the tool links nothing
// of the runtime.
//
// Message file (UTF-8), one message a line:
//   <identifier> <usage> <text>
// Blank lines and lines whose first non-blank character is '#' are skipped.
// The text runs from the first non-blank character after the usage to the
// end of the line, trailing blanks and tabs cut. Escapes in the text: \n
// line feed, \r carriage return, \t tab, \s space, \\ backslash, \u{HEX} the
// UTF-8 form of a code point. Identifiers must be ascending and below 65536,
// usages 0 to 3, and the text valid UTF-8.
//
// Encoding of a text: each byte found in the current table is one digit;
// a byte of another table is a shift and a digit, or a lock and a digit when
// the next byte is also in that table and not in the current one; bytes in
// no table are escapes (38 for one byte, 39 with a count for a run of up to
// 255), entered through a shift to table 3 unless table 3 is current. Digits
// go three to a pair of bytes, the bytes of the pair's escapes right after
// the pair; a last lone digit without escape bytes is one byte, any other
// short last group is completed with locks of the current table (no-ops).
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

// Relative to this file, so that programs outside the runtime's include path
// (the tool, host tests) find them too.
#include "../CDataCompressor.h"
#include "../CResAnsi76.h"

class CMessagePacker {
 public:
  struct STMessage {
    std::uint32_t nId = 0;
    std::uint32_t nUsage = 0;
    std::string sBytes;   // UTF-8 text, or UTF-16LE units when bUTF16
    bool bUTF16 = false;
  };

  // Packed payload of the bytes.
  static std::vector<unsigned char> s_Pack(const std::string& sBytes) {
    std::vector<STDigit> aDigits;
    int nCurrent = 0;
    const std::size_t n = sBytes.size();
    for (std::size_t i = 0; i < n;) {
      const unsigned char by = static_cast<unsigned char>(sBytes[i]);
      int nTable = 0;
      int nIndex = 0;
      if (s_bFind(by, nCurrent, &nIndex)) {
        aDigits.push_back({CDataCompressor::kFirstChar + nIndex, {}});
        ++i;
      } else if (s_bFindAny(by, &nTable, &nIndex)) {
        int nNext = 0;
        const bool bLock = i + 1 < n &&
                           s_bFind(static_cast<unsigned char>(sBytes[i + 1]), nTable, &nNext) &&
                           !s_bFind(static_cast<unsigned char>(sBytes[i + 1]), nCurrent, &nNext);
        if (bLock) {
          aDigits.push_back({CDataCompressor::kFirstLock + nTable, {}});
          nCurrent = nTable;
        } else {
          aDigits.push_back({CDataCompressor::kFirstShift + nTable, {}});
        }
        aDigits.push_back({CDataCompressor::kFirstChar + nIndex, {}});
        ++i;
      } else {
        std::size_t j = i;
        while (j < n && j - i < 255 && !s_bFindAny(static_cast<unsigned char>(sBytes[j]), &nTable, &nIndex))
          ++j;
        if (nCurrent != 3) aDigits.push_back({CDataCompressor::kFirstShift + 3, {}});
        STDigit stEscape;
        if (j - i == 1) {
          stEscape.nDigit = CDataCompressor::kEscapeByte;
        } else {
          stEscape.nDigit = CDataCompressor::kEscapeRun;
          stEscape.aRaw.push_back(static_cast<unsigned char>(j - i));
        }
        stEscape.aRaw.insert(stEscape.aRaw.end(), sBytes.begin() + static_cast<std::ptrdiff_t>(i),
                             sBytes.begin() + static_cast<std::ptrdiff_t>(j));
        aDigits.push_back(stEscape);
        i = j;
      }
    }

    std::vector<unsigned char> aOut;
    const std::size_t nDigits = aDigits.size();
    for (std::size_t k = 0; k < nDigits; k += 3) {
      const std::size_t nLeft = nDigits - k;
      if (nLeft == 1 && aDigits[k].aRaw.empty()) {
        aOut.push_back(static_cast<unsigned char>(aDigits[k].nDigit + 1));
        break;
      }
      int an[3];
      for (std::size_t m = 0; m < 3; ++m)
        an[m] = k + m < nDigits ? aDigits[k + m].nDigit : CDataCompressor::kFirstLock + nCurrent;
      const unsigned v = static_cast<unsigned>(an[0] * 1600 + an[1] * 40 + an[2]);
      aOut.push_back(static_cast<unsigned char>(v / 255 + 1));
      aOut.push_back(static_cast<unsigned char>(v % 255 + 1));
      for (std::size_t m = 0; m < 3 && k + m < nDigits; ++m)
        aOut.insert(aOut.end(), aDigits[k + m].aRaw.begin(), aDigits[k + m].aRaw.end());
    }
    return aOut;
  }

  // Appends one record; false (with sError) when it cannot be stored.
  static bool s_bAppendRecord(std::vector<unsigned char>& aBlock, const STMessage& stMessage,
                              std::string& sError) {
    if (stMessage.nId > 0xFFFF) return s_bFail(sError, stMessage.nId, "identifier above 65535");
    if (stMessage.nUsage > 3) return s_bFail(sError, stMessage.nId, "usage above 3");
    const std::vector<unsigned char> aPayload = s_Pack(stMessage.sBytes);
    const std::size_t nLength = kResRecordHeader + aPayload.size();
    if (nLength > 0xFFFF) return s_bFail(sError, stMessage.nId, "text too long");
    s_PutU16(aBlock, static_cast<std::uint32_t>(nLength));
    s_PutU16(aBlock, stMessage.nId);
    aBlock.push_back(static_cast<unsigned char>(stMessage.nUsage |
                                                (stMessage.bUTF16 ? kResFlagUTF16 : 0)));
    s_PutU16(aBlock, static_cast<std::uint32_t>(aPayload.size()));
    aBlock.insert(aBlock.end(), aPayload.begin(), aPayload.end());
    return true;
  }

  // The whole block: the records in order and the zero length that ends it.
  // Identifiers must be strictly ascending.
  static bool s_bBuildBlock(const std::vector<STMessage>& aMessages,
                            std::vector<unsigned char>& aBlock, std::string& sError) {
    aBlock.clear();
    for (std::size_t i = 0; i < aMessages.size(); ++i) {
      if (i > 0 && aMessages[i].nId <= aMessages[i - 1].nId)
        return s_bFail(sError, aMessages[i].nId, "identifier not above the one before");
      if (!s_bAppendRecord(aBlock, aMessages[i], sError)) return false;
    }
    s_PutU16(aBlock, 0);
    return true;
  }

  // Reads a message file; false with sError ("line N: ...") on the first
  // fault.
  static bool s_bParse(std::istream& in, std::vector<STMessage>& aMessages, std::string& sError) {
    aMessages.clear();
    std::string sLine;
    for (int nLine = 1; std::getline(in, sLine); ++nLine) {
      std::size_t p = sLine.find_first_not_of(" \t\r");
      if (p == std::string::npos || sLine[p] == '#') continue;
      STMessage st;
      std::uint32_t anField[2] = {0, 0};
      for (std::uint32_t& nField : anField) {
        const std::size_t nStart = p;
        std::uint64_t nValue = 0;
        while (p < sLine.size() && sLine[p] >= '0' && sLine[p] <= '9' && nValue <= 0xFFFFFFFF)
          nValue = nValue * 10 + static_cast<unsigned>(sLine[p++] - '0');
        if (p == nStart || nValue > 0xFFFFFFFF ||
            (p < sLine.size() && sLine[p] != ' ' && sLine[p] != '\t' && sLine[p] != '\r'))
          return s_bFailLine(sError, nLine, "identifier and usage must be decimal numbers");
        nField = static_cast<std::uint32_t>(nValue);
        p = sLine.find_first_not_of(" \t", p);
        if (p == std::string::npos) p = sLine.size();
      }
      st.nId = anField[0];
      st.nUsage = anField[1];
      std::size_t nEnd = sLine.find_last_not_of(" \t\r");
      nEnd = nEnd == std::string::npos || nEnd < p ? p : nEnd + 1;
      if (!s_bUnescape(sLine.substr(p, nEnd - p), st.sBytes))
        return s_bFailLine(sError, nLine, "bad escape (\\n \\r \\t \\s \\\\ \\u{HEX})");
      if (!s_bValidUTF8(st.sBytes)) return s_bFailLine(sError, nLine, "text is not valid UTF-8");
      if (st.nId > 0xFFFF) return s_bFailLine(sError, nLine, "identifier above 65535");
      if (st.nUsage > 3) return s_bFailLine(sError, nLine, "usage above 3");
      if (!aMessages.empty() && st.nId <= aMessages.back().nId)
        return s_bFailLine(sError, nLine, "identifiers must be unique and ascending");
      aMessages.push_back(st);
    }
    return true;
  }

  // C++ source of a block: the marker texts around the block, its index
  // (offset table sized for `nRecords`) and its lookup function. Without a
  // function name it is the library's block: the index is
  // CResAnsi76::m_stRessource, the lookup bGetResAnsi76, and the block's
  // start is published as _pbyBufferRes76. With a name (another program's
  // block, such as the installer's) the index is private to the source and
  // only the function `sFunction` is defined, so both blocks never meet in
  // one link.
  static void s_WriteSource(std::ostream& out, const std::vector<unsigned char>& aBlock,
                            std::size_t nRecords, const std::string& sOrigin,
                            const std::string& sFunction = std::string()) {
    const bool bLibrary = sFunction.empty();
    out << "// Generated by kxmsgpack from " << sOrigin << ": a packed\n"
        << "// message block. Do not edit; change the message files.\n"
        << "#include <cstddef>\n#include <cstdint>\n\n#include \"CResAnsi76.h\"\n\n"
        << "namespace {\n\n"
        << "// Start marker, the records and their zero end, stop marker.\n"
        << "const unsigned char gabyRes76[] = {";
    std::vector<unsigned char> aAll(kszResBlockStart, kszResBlockStart + sizeof(kszResBlockStart) - 1);
    aAll.insert(aAll.end(), aBlock.begin(), aBlock.end());
    aAll.insert(aAll.end(), kszResBlockStop, kszResBlockStop + sizeof(kszResBlockStop) - 1);
    static const char kHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < aAll.size(); ++i) {
      out << (i % 16 == 0 ? "\n   " : "") << " 0x" << kHex[aAll[i] >> 4] << kHex[aAll[i] & 15] << ',';
    }
    out << "\n};\n\n"
        << "constexpr std::size_t kStart = sizeof(kszResBlockStart) - 1;\n"
        << "constexpr std::size_t kBlockSize = " << aBlock.size() << ";\n"
        << "constexpr std::uint32_t kRecords = " << nRecords << ";\n"
        << "static_assert(sizeof(gabyRes76) == kStart + kBlockSize + sizeof(kszResBlockStop) - 1);\n\n"
        << "std::uint32_t ganOffsets76[kRecords > 0 ? kRecords : 1];\n\n";
    if (!bLibrary) {
      out << "CResAnsi76::STRessource gstRessource(gabyRes76 + kStart, kBlockSize, ganOffsets76,\n"
          << "                                     kRecords);\n\n"
          << "}  // namespace\n\n"
          << "bool " << sFunction << "(STRessourceModule* pstRequest) {\n"
          << "  return CResAnsi76::s_bGetRes(gstRessource, pstRequest);\n"
          << "}\n";
      return;
    }
    out << "}  // namespace\n\n"
        << "const unsigned char* const _pbyBufferRes76 = gabyRes76 + kStart;\n\n"
        << "CResAnsi76::STRessource CResAnsi76::m_stRessource(gabyRes76 + kStart, kBlockSize,\n"
        << "                                                  ganOffsets76, kRecords);\n\n"
        << "bool bGetResAnsi76(STRessourceModule* pstRequest) {\n"
        << "  return CResAnsi76::s_bGetRes(CResAnsi76::m_stRessource, pstRequest);\n"
        << "}\n";
  }

 private:
  struct STDigit {
    int nDigit = 0;
    std::vector<unsigned char> aRaw;  // payload bytes of an escape
  };

  // Index of `by` in table `nTable`; table 3's slots 30 and 31 never count.
  static bool s_bFind(unsigned char by, int nTable, int* pnIndex) {
    if (by == 0) return false;
    const int nSlots = nTable == 3 ? CDataCompressor::kTableSize - 2 : CDataCompressor::kTableSize;
    for (int i = 0; i < nSlots; ++i) {
      if (CDataCompressor::s_abyTables[nTable][i] == by) {
        *pnIndex = i;
        return true;
      }
    }
    return false;
  }

  static bool s_bFindAny(unsigned char by, int* pnTable, int* pnIndex) {
    for (int t = 0; t < CDataCompressor::kTables; ++t) {
      if (s_bFind(by, t, pnIndex)) {
        *pnTable = t;
        return true;
      }
    }
    return false;
  }

  static void s_PutU16(std::vector<unsigned char>& a, std::uint32_t n) {
    a.push_back(static_cast<unsigned char>(n & 0xFF));
    a.push_back(static_cast<unsigned char>(n >> 8 & 0xFF));
  }

  static void s_PutUTF8(std::string& s, std::uint32_t c) {
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else if (c < 0x800) {
      s += static_cast<char>(0xC0 | c >> 6);
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      s += static_cast<char>(0xE0 | c >> 12);
      s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      s += static_cast<char>(0xF0 | c >> 18);
      s += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    }
  }

  static bool s_bUnescape(const std::string& sIn, std::string& sOut) {
    sOut.clear();
    for (std::size_t i = 0; i < sIn.size(); ++i) {
      if (sIn[i] != '\\') {
        sOut += sIn[i];
        continue;
      }
      if (++i >= sIn.size()) return false;
      switch (sIn[i]) {
        case 'n': sOut += '\n'; break;
        case 'r': sOut += '\r'; break;
        case 't': sOut += '\t'; break;
        case 's': sOut += ' '; break;
        case '\\': sOut += '\\'; break;
        case 'u': {
          const std::size_t nClose = sIn.find('}', i);
          if (i + 1 >= sIn.size() || sIn[i + 1] != '{' || nClose == std::string::npos ||
              nClose == i + 2 || nClose > i + 8)
            return false;
          std::uint32_t c = 0;
          for (std::size_t k = i + 2; k < nClose; ++k) {
            const char h = sIn[k];
            const int d = h >= '0' && h <= '9' ? h - '0'
                          : h >= 'a' && h <= 'f' ? h - 'a' + 10
                          : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
            if (d < 0) return false;
            c = c * 16 + static_cast<std::uint32_t>(d);
          }
          if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
          s_PutUTF8(sOut, c);
          i = nClose;
          break;
        }
        default:
          return false;
      }
    }
    return true;
  }

  // Well-formed UTF-8 without overlong forms, surrogates or values above
  // 0x10FFFF.
  static bool s_bValidUTF8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
      const unsigned char c = static_cast<unsigned char>(s[i]);
      std::size_t nMore = 0;
      std::uint32_t nMin = 0;
      std::uint32_t cp = c;
      if (c < 0x80) {
        ++i;
        continue;
      } else if ((c & 0xE0) == 0xC0) {
        nMore = 1, nMin = 0x80, cp = c & 0x1F;
      } else if ((c & 0xF0) == 0xE0) {
        nMore = 2, nMin = 0x800, cp = c & 0x0F;
      } else if ((c & 0xF8) == 0xF0) {
        nMore = 3, nMin = 0x10000, cp = c & 0x07;
      } else {
        return false;
      }
      if (i + nMore >= s.size()) return false;
      for (std::size_t k = 1; k <= nMore; ++k) {
        const unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) return false;
        cp = cp << 6 | (cc & 0x3F);
      }
      if (cp < nMin || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
      i += nMore + 1;
    }
    return true;
  }

  static bool s_bFail(std::string& sError, std::uint32_t nId, const char* pszWhat) {
    sError = "message " + std::to_string(nId) + ": " + pszWhat;
    return false;
  }

  static bool s_bFailLine(std::string& sError, int nLine, const char* pszWhat) {
    sError = "line " + std::to_string(nLine) + ": " + pszWhat;
    return false;
  }
};
