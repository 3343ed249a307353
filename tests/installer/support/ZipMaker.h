// Test-time archive making: a private temporary directory, files written
// into it, and the `zip` and `python3` (zipfile) programs run inside it.
// Every archive a test needs is made this way at run time; none is kept in
// the source tree.
//
// Paths are 8-bit (UTF-8) strings. Relative paths given to a ZipMakerDir are
// relative to its directory. Failures never throw: they answer false, an
// empty string or a non-zero status, so a test can assert on them.
#pragma once

#include <string>
#include <vector>

namespace zipmaker {

// A fresh directory under $TMPDIR (or /tmp), removed with its content when
// the object goes.
class ZipMakerDir {
 public:
  ZipMakerDir();
  ~ZipMakerDir();
  ZipMakerDir(const ZipMakerDir&) = delete;
  ZipMakerDir& operator=(const ZipMakerDir&) = delete;

  // False when the directory could not be made.
  bool bOk() const { return !m_sDir.empty(); }
  // The directory, without a final "/".
  const std::string& sDir() const { return m_sDir; }
  // The full path of a relative name (an absolute name is returned as is).
  std::string sPath(const std::string& name) const;

  // Writes `bytes` to `name`, creating missing parent directories.
  bool bWrite(const std::string& name, const std::string& bytes) const;
  // The whole file; empty when it cannot be read (*pbOk, when given, says
  // which).
  std::string sRead(const std::string& name, bool* pbOk = nullptr) const;

  // Runs `zip <arguments>` with the directory as working directory, output
  // discarded; the exit status (-1 when it could not run). Arguments are
  // passed to the shell as written: quote them as needed (sQuote).
  int nZip(const std::string& arguments) const;
  // Runs `python3 -c <script> <args...>` in the directory; the exit status.
  // The script sees its arguments in sys.argv[1:].
  int nPython(const std::string& script, const std::vector<std::string>& args = {}) const;
  // Runs a shell command in the directory; the exit status. *psOutput (when
  // given) receives the standard output.
  int nShell(const std::string& command, std::string* psOutput = nullptr) const;

 private:
  std::string m_sDir;
};

// Single-quotes a text for the shell.
std::string sQuote(const std::string& text);

// True when `program` is found on PATH.
bool bHasProgram(const std::string& program);

// Little-endian field access in archive bytes (the caller keeps the offset
// inside the text).
unsigned nGetU16(const std::string& bytes, std::size_t offset);
unsigned nGetU32(const std::string& bytes, std::size_t offset);
void SetU16(std::string& bytes, std::size_t offset, unsigned value);
void SetU32(std::string& bytes, std::size_t offset, unsigned value);
// Offset of the last occurrence of a 4-byte signature (e.g. 0x06054b50),
// std::string::npos when absent.
std::size_t nFindLastSignature(const std::string& bytes, unsigned signature);
// Offsets of every occurrence of a 4-byte signature, in order.
std::vector<std::size_t> FindSignatures(const std::string& bytes, unsigned signature);

}  // namespace zipmaker
