// Argument signatures of message texts, for the tests that check a module's
// texts against what its callers pass: the "#sig <id> "<letters>"" lines of
// the message files, and the signature a loaded text has for the formatter.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct STSignatures {
  std::map<std::uint32_t, std::string> mapSig;  // identifier -> letters
  std::string sError;                           // first fault of the file
};

// Reads the #sig lines of one message file into st (each must stand right
// before the message it names); the first fault goes to st.sError.
void ReadSignatureFile(const std::string& sPath, STSignatures& st);

// The signature of a text as the formatter reads it: one letter per
// conversion (s wide string, S 8-bit string, d 32-bit integer, l 64-bit
// integer, p pointer); '?' for a conversion no message may use, '!' for a
// string conversion with a flag, width or precision, '*' for a width or
// precision read from the arguments.
std::string SignatureOf(const wchar_t* psz);
