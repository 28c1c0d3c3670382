#include "timer_pool.h"

#include <gtest/gtest.h>

namespace ringdeck {
namespace {

TEST(TimerPool, AllocatesTheLowestFreeIndexFirst) {
  TimerPool pool;
  ActionEvent e = ActionEvent::key(10, 0, 'A', true, true);
  EXPECT_EQ(pool.allocate(e), 0);
  EXPECT_EQ(pool.allocate(e), 1);
  EXPECT_EQ(pool.allocate(e), 2);
  pool.free(1);
  pool.free(0);
  EXPECT_EQ(pool.freeCount(), TimerPool::kEntries - 1u);
  EXPECT_EQ(pool.allocate(e), 0);
  EXPECT_EQ(pool.allocate(e), 1);
  EXPECT_EQ(pool.allocate(e), 3);
  ASSERT_NE(pool.lookUp(3), nullptr);
  EXPECT_EQ(*pool.lookUp(3), e);
}

TEST(TimerPool, FullPoolRefusesAndFreeIgnoresBadIndexes) {
  TimerPool pool;
  const ActionEvent e{};
  for (std::uint32_t i = 0; i < TimerPool::kEntries; ++i) ASSERT_EQ(pool.allocate(e), i);
  EXPECT_EQ(pool.freeCount(), 0u);
  EXPECT_EQ(pool.allocate(e), kNoTimer);

  pool.free(TimerPool::kEntries);  // one past the last
  pool.free(kNoTimer);
  EXPECT_EQ(pool.freeCount(), 0u);
  pool.free(8191);
  pool.free(8191);  // not in use any more: ignored, the count stays right
  EXPECT_EQ(pool.freeCount(), 1u);
  EXPECT_FALSE(pool.inUse(8191));
  EXPECT_EQ(pool.allocate(e), 8191);
  EXPECT_EQ(pool.lookUp(TimerPool::kEntries), nullptr);
  EXPECT_EQ(pool.lookUp(kNoTimer), nullptr);
}

}  // namespace
}  // namespace ringdeck
