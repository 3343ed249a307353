// Owner, group and mode of a file set in one call (needs root).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "RootRequirement.h"
#include "CDiskFile.h"
#include "CXError.h"
#include "support/DiskFileTestDirectory.h"

namespace {

class FileOwner : public DiskFileTestDirectory {};

TEST_F(FileOwner, OwnerGroupAndModeLandWhereTheyBelong) {
  KX_NEED_ROOT("changing a file's owner needs root");
  WriteFile("f", "x");
  CXError error(&gstMyModuleInfo76);
  // Distinct values: a swapped argument shows.
  ASSERT_TRUE(CDiskFile::bSetFileOwnerAttributes(L"f", 1234, 5678, 0640, &error));
  struct stat st;
  ASSERT_EQ(::stat("f", &st), 0);
  EXPECT_EQ(st.st_uid, 1234u);
  EXPECT_EQ(st.st_gid, 5678u);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  EXPECT_FALSE(CDiskFile::bSetFileOwnerAttributes(L"missing", 1, 2, 0600, &error));
  EXPECT_EQ(error.nGetErrorId(0), 25852u);
}

}  // namespace
