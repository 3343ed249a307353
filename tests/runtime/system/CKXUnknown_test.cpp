#include "CKXUnknown.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

class CCounted : public CKXUnknown {
 public:
  explicit CCounted(int* destroyed) : m_pDestroyed(destroyed) {}
  ~CCounted() override { ++*m_pDestroyed; }

 private:
  int* m_pDestroyed;
};

TEST(CKXUnknown, DestroyedWhenTheLastReferenceGoes) {
  int destroyed = 0;
  CKXUnknown* object = new CCounted(&destroyed);
  EXPECT_EQ(object->dwAddRef(), 1u);
  EXPECT_EQ(object->dwAddRef(), 2u);
  EXPECT_EQ(object->dwRelease(), 1u);
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(object->dwRelease(), 0u);  // through the derived destructor
  EXPECT_EQ(destroyed, 1);
}

TEST(CKXUnknown, ConcurrentHoldersKeepTheCountExact) {
  int destroyed = 0;
  CKXUnknown* object = new CCounted(&destroyed);
  object->dwAddRef();
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([object] {
      for (int i = 0; i < 20000; ++i) {
        object->dwAddRef();
        object->dwRelease();
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(object->dwAddRef(), 2u);
  object->dwRelease();
  EXPECT_EQ(object->dwRelease(), 0u);
  EXPECT_EQ(destroyed, 1);
}

TEST(CKXUnknown, ACopyStartsWithNoHolder) {
  int destroyed = 0;
  CCounted* original = new CCounted(&destroyed);
  original->dwAddRef();
  original->dwAddRef();
  CCounted* copy = new CCounted(*original);
  EXPECT_EQ(copy->dwAddRef(), 1u);
  EXPECT_EQ(copy->dwRelease(), 0u);
  EXPECT_EQ(destroyed, 1);
  original->dwRelease();
  EXPECT_EQ(original->dwRelease(), 0u);
  EXPECT_EQ(destroyed, 2);
}

}  // namespace
