#include "event_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace ringdeck {
namespace {

ActionEvent numbered(int n) { return ActionEvent::key(0, 0, static_cast<std::uint8_t>(n), true, true); }
ActionEvent release(int n) { return ActionEvent::key(0, 0, static_cast<std::uint8_t>(n), false, true); }

TEST(EventQueue, HoldsAtMost1024AndRefusesTheNext) {
  EventQueue q;
  for (int i = 0; i < 1024; ++i) ASSERT_TRUE(q.insertRelease(numbered(i))) << i;
  EXPECT_EQ(q.size(), 1024u);
  EXPECT_FALSE(q.insertRelease(numbered(9999)));
  EXPECT_FALSE(q.insert(numbered(9999)));
  EXPECT_EQ(q.size(), 1024u);
  // The refused event left nothing behind: the oldest comes out first, the newest last.
  ActionEvent e;
  ASSERT_TRUE(q.remove(e));
  EXPECT_EQ(e.keyCode, 0);
  EXPECT_TRUE(q.insertRelease(numbered(77)));
  for (int i = 1; i < 1024; ++i) {
    ASSERT_TRUE(q.remove(e));
    EXPECT_EQ(e.keyCode, static_cast<std::uint8_t>(i));
  }
  ASSERT_TRUE(q.remove(e));
  EXPECT_EQ(e.keyCode, 77);
  EXPECT_FALSE(q.remove(e));
}

// The last 256 cells are kept for releases: with 768 waiting a press is refused, a release not.
TEST(EventQueue, PressesLeaveTheLast256CellsToReleases) {
  EventQueue q;
  int n = 0;
  while (q.insert(numbered(n))) ++n;
  EXPECT_EQ(n, 768);
  for (int i = 0; i < 256; ++i) {
    ASSERT_TRUE(q.insertRelease(release(i))) << i;
    ASSERT_FALSE(q.insert(numbered(i)));
  }
  EXPECT_FALSE(q.insertRelease(release(0)));
  ActionEvent e;
  ASSERT_TRUE(q.remove(e));
  EXPECT_FALSE(q.insert(numbered(0)));  // 1023 waiting: still only releases
  EXPECT_TRUE(q.insertRelease(release(0)));
  while (q.size() > 767) ASSERT_TRUE(q.remove(e));
  EXPECT_TRUE(q.insert(numbered(0)));
}

TEST(EventQueue, KeepsOrderAcrossTheEndOfTheRing) {
  EventQueue q;
  ActionEvent e;
  for (int round = 0; round < 3000; ++round) {
    ASSERT_TRUE(q.insert(numbered(round)));
    ASSERT_TRUE(q.insert(numbered(round + 1)));
    ASSERT_TRUE(q.remove(e));
    ASSERT_EQ(e.keyCode, static_cast<std::uint8_t>(round));
    ASSERT_TRUE(q.remove(e));
    ASSERT_EQ(e.keyCode, static_cast<std::uint8_t>(round + 1));
  }
  EXPECT_EQ(q.size(), 0u);
}

TEST(EventQueue, ReaderThreadsInsertWhileTheWindowRemoves) {
  EventQueue q;
  constexpr int kPerThread = 20000;
  std::vector<std::thread> readers;
  for (int t = 0; t < 2; ++t)
    readers.emplace_back([&q, t] {
      for (int i = 0; i < kPerThread; ++i) {
        ActionEvent e = numbered(t);
        e.wheelAmount = i;
        while (!q.insert(e)) std::this_thread::yield();
      }
    });
  int next[2] = {0, 0};
  ActionEvent e;
  while (next[0] < kPerThread || next[1] < kPerThread) {
    if (!q.remove(e)) continue;
    // Each reader's events come out whole and in its order.
    ASSERT_EQ(e.wheelAmount, next[e.keyCode]);
    ++next[e.keyCode];
  }
  for (auto& r : readers) r.join();
  EXPECT_FALSE(q.remove(e));
}

}  // namespace
}  // namespace ringdeck
