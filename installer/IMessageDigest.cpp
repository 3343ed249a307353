#include "IMessageDigest.h"

#include "CDiskFile.h"
#include "CXError.h"

namespace {

// Bytes read from the file at a time.
constexpr unsigned knReadChunk = 1024;

// Copies the stream's error into the caller's object at level 2.
void ReportStreamError(IXStream* stream, CXError* error) {
  if (error == nullptr) return;
  error->Copy(stream->pclGetXError());
  error->SetErrorLevel(ERRORLEVEL_WARNING);
}

}  // namespace

bool IMessageDigest::bDigestFile(const wchar_t* path, unsigned char* out, CXError* error) {
  // The stream is counted: it lives on the heap and goes with its last release.
  CDiskFile* file = new CDiskFile();
  file->dwAddRef();
  if (!file->bOpen(path, XACCESS_READ, XSHARE_NONE, XCREATE_OPEN, XFLAG_NONE, nullptr)) {
    ReportStreamError(file, error);
    file->dwRelease();
    return false;
  }
  Reset();
  unsigned char buffer[knReadChunk];
  bool bReadFailed = false;
  for (;;) {
    unsigned nRead = 0;
    if (!file->bRead(buffer, knReadChunk, &nRead)) {
      bReadFailed = true;
      break;
    }
    if (nRead == 0) break;
    AddData(buffer, nRead);
  }
  if (bReadFailed) {
    // A digest of what was read so far would pass for the file's: refuse it.
    ReportStreamError(file, error);
    Reset();
    file->Close();
    file->dwRelease();
    return false;
  }
  file->Close();
  file->dwRelease();
  FinalDigest(out);
  return true;
}
