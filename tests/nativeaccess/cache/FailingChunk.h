// Shortages of the object pools' chunk blocks, without a hook in the library:
// the native-access unit test program is linked with
// --wrap=_Z18ObjAlloc_pNewChunkm, so every chunk a pool asks for goes through
// a wrapper (objalloc_test.cpp) that refuses while a FailingChunks is alive
// on the calling thread.
#pragma once

class FailingChunks {
 public:
  // The next nSkip chunk requests succeed, every later one fails.
  explicit FailingChunks(long nSkip = 0);
  ~FailingChunks();
  FailingChunks(const FailingChunks&) = delete;
  FailingChunks& operator=(const FailingChunks&) = delete;
  // How many chunk requests were refused.
  long nRefused() const;
};

// Chunk requests made on this thread so far (served or not).
long nChunkRequests();
