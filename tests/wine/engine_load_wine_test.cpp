// The engine program under Wine under load: one virtual controller sending 2,000 reports a
// second for 20 seconds with random controls, ten controllers at once, and 200 stops by
// WM_QUIT while a controller streams. The figures go to the output; the test holds the engine
// to what a person relies on: nothing held at the end, every release made, memory flat, a stop
// that ends the engine within a second.
#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "device_table.h"
#include "engine_test_support.h"
#include "protocol.h"
#include "settings_io.h"
#include "win32_file.h"
#include "wine_support.h"

namespace ringdeck::wine {
namespace {

using engine::kMakerController;
using engine::kMakerVendor;
using ringdeck::testing::keystrokeSlot;
using ringdeck::testing::modifiersSlot;
using ringdeck::testing::scrollSlot;

const std::string kEngineVirtual = windowsPath(RINGDECK_ENGINE_VIRTUAL);

// Every control does something, and nothing that would send the input elsewhere (no Alt, no
// Win key).
std::vector<SettingsRecord> loadSets() {
  std::vector<SettingsRecord> sets(1);
  setName(sets[0], "Global Settings");
  auto& g = sets[0].slots;
  g[SlotIndex::button(0)] = keystrokeSlot(ModControl, 'C', kRepeatOnce, true);
  g[SlotIndex::button(1)] = keystrokeSlot(0, kKeypadEnter, kRepeatHold, true);
  g[SlotIndex::button(2)] = keystrokeSlot(0, VK_HOME, 5, true);  // repeats every 50 ms
  g[SlotIndex::button(3)] = keystrokeSlot(ModControl, 'X', kRepeatHold, false);
  g[SlotIndex::button(4)] = keystrokeSlot(ModShift, 'A', kRepeatHold, true);
  g[SlotIndex::button(5)] = modifiersSlot(ModControl | ModShift, true);
  g[SlotIndex::button(6)] = scrollSlot(ActionKind::ScrollDown, 1, ModControl, true);
  g[SlotIndex::button(7)] = keystrokeSlot(0, 'B', kRepeatHold, false);
  g[SlotIndex::button(8)] = keystrokeSlot(0, 'D', kRepeatOnce, false);
  g[SlotIndex::button(9)] = keystrokeSlot(ModShift, VK_END, 3, true);
  g[SlotIndex::button(10)] = keystrokeSlot(0, 'E', kRepeatHold, true);
  g[SlotIndex::button(11)] = scrollSlot(ActionKind::ScrollUp, 2, 0, true);
  g[SlotIndex::button(12)] = keystrokeSlot(0, 'F', kRepeatHold, true);
  g[SlotIndex::JogRight] = keystrokeSlot(0, VK_RIGHT, kRepeatOnce, true);
  g[SlotIndex::JogLeft] = keystrokeSlot(0, VK_LEFT, kRepeatOnce, true);
  for (int z = -7; z <= 7; ++z) {
    if (z == 0) continue;
    g[SlotIndex::shuttleZone(z)] = keystrokeSlot(z < 0 ? ModShift : 0, static_cast<std::uint8_t>('0' + (z < 0 ? -z : z)),
                                                 kRepeatHold, z % 2 == 0);
  }
  return sets;
}

// The keys a hold of the control sends, and whose up the observer must see once it is let go.
const std::map<int, const char*> kHeldKeyOfButton = {
    {1, "key 0D up ext extra=1"}, {3, "key 58 up extra=1"}, {4, "key 41 up extra=1"},
    {7, "key 42 up extra=1"},     {10, "key 45 up extra=1"}, {12, "key 46 up extra=1"}};

using Report8 = std::array<std::uint8_t, 8>;

Report8 state(std::uint16_t buttons, std::int8_t shuttle = 0, std::uint8_t jog = 0) {
  return Report8{0, static_cast<std::uint8_t>(shuttle), jog, 0, static_cast<std::uint8_t>(buttons),
                 static_cast<std::uint8_t>(buttons >> 8), 0, 0};
}

// A person's hand on the controller, played fast: buttons go down and up, the jog wheel turns,
// the shuttle moves one position at a time.
class RandomHand {
 public:
  explicit RandomHand(std::uint32_t seed) : rng_(seed) {}
  Report8 next() {
    const std::uint32_t r = rng_();
    const Report8 before = state(buttons_, shuttle_, jog_);
    if (r % 4 == 0) {
      const int b = static_cast<int>((r >> 4) % 13);
      buttons_ = static_cast<std::uint16_t>(buttons_ ^ (1u << b));
      if (buttons_ & (1u << b)) pressed_.insert(b);
    }
    if ((r >> 8) % 3 == 0) jog_ = static_cast<std::uint8_t>(jog_ + ((r >> 12) % 2 ? 1 : 255));
    if ((r >> 16) % 16 == 0) shuttle_ = static_cast<std::int8_t>(std::clamp(shuttle_ + ((r >> 20) % 2 ? 1 : -1), -7, 7));
    const Report8 after = state(buttons_, shuttle_, jog_);
    changes_ += after != before;
    return after;
  }
  Report8 letGo() {
    buttons_ = 0;
    shuttle_ = 0;
    return state(0, 0, jog_);
  }
  const std::set<int>& pressed() const { return pressed_; }
  // Reports of next() that moved a control: the ones that give the engine something to do.
  std::size_t changes() const { return changes_; }

 private:
  std::mt19937 rng_;
  std::uint16_t buttons_ = 0;
  std::int8_t shuttle_ = 0;
  std::uint8_t jog_ = 0;
  std::set<int> pressed_;
  std::size_t changes_ = 0;
};

double workingSetMb(DWORD processId, bool peak = false) {
  HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
  if (!p) return -1;
  PROCESS_MEMORY_COUNTERS c{};
  c.cb = sizeof c;
  const BOOL ok = GetProcessMemoryInfo(p, &c, sizeof c);
  CloseHandle(p);
  if (!ok) return -1;
  return static_cast<double>(peak ? c.PeakWorkingSetSize : c.WorkingSetSize) / (1024.0 * 1024.0);
}

class EngineLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = settingsFilePath(ringdeck::win32::systemDirectory());
    auto f = files_.open(path_, OpenMode::ReadWriteCreateNew);
    ASSERT_TRUE(f);
    ASSERT_TRUE(writeSettingsFile(*f, loadSets()));
  }
  void TearDown() override {
    stopEngine();
    files_.remove(path_);
    EXPECT_TRUE(heldKeys(observer_.lines()).empty()) << "a key was left down";
  }

  void startEngine() {
    devices_.reset();  // the hub takes one engine
    devices_ = std::make_unique<VirtualDevices>();
    engine_ = std::make_unique<ChildProcess>();
    ASSERT_EQ(FindWindowA(kEngineWindowClass, nullptr), nullptr) << "an engine of an earlier run is still there";
    ASSERT_TRUE(engine_->start(kEngineVirtual, "-run"));
    ASSERT_TRUE(waitUntil([] { return FindWindowA(kEngineWindowClass, nullptr) != nullptr; }, 10000));
    ASSERT_TRUE(devices_->waitForEngine());
  }
  void stopEngine() {
    if (!engine_ || !engine_->running()) return;
    if (HWND w = FindWindowA(kEngineWindowClass, nullptr)) SendMessageA(w, WM_QUIT, 0, 0);
    EXPECT_EQ(engine_->wait(5000), std::optional<DWORD>(0u));
  }

  std::vector<std::string> settledInput(DWORD quietMs = 800) { return observer_.settledLines(quietMs); }

  bool send(int device, const Report8& r) { return devices_->sendRaw(device, r.data(), 8); }

  ringdeck::win32::Win32FileSystem files_;
  std::string path_;
  InputObserver observer_;
  std::unique_ptr<VirtualDevices> devices_;
  std::unique_ptr<ChildProcess> engine_;
};

TEST_F(EngineLoad, TwoThousandReportsASecondForTwentySeconds) {
  startEngine();
  const int d = devices_->plug(kMakerVendor, kMakerController);
  ASSERT_GE(d, 0);
  RandomHand hand(20261210);
  ASSERT_TRUE(send(d, hand.letGo()));
  constexpr double kSeconds = 20;
  constexpr double kPerMs = 2.0;
  std::vector<double> samples;  // working set, MB, every 500 ms
  std::atomic<bool> streaming{true};
  std::thread sampler([&] {
    while (streaming) {
      samples.push_back(workingSetMb(engine_->id()));
      Sleep(500);
    }
  });
  // Paced on the clock: when the sender falls behind it catches up with several reports per
  // message, as a device's queued reports come out of one read.
  const double start = nowMs();
  std::size_t sent = 0;
  std::vector<std::uint8_t> message;
  for (;;) {
    const double elapsed = nowMs() - start;
    if (elapsed >= kSeconds * 1000) break;
    const auto due = static_cast<std::size_t>(elapsed * kPerMs);
    if (due <= sent) {
      Sleep(1);
      continue;
    }
    message.clear();
    for (std::size_t i = 0; i < std::min<std::size_t>(due - sent, 64); ++i) {
      const Report8 r = hand.next();
      message.insert(message.end(), r.begin(), r.end());
    }
    ASSERT_TRUE(devices_->sendRaw(d, message.data(), static_cast<DWORD>(message.size())));
    sent += message.size() / 8;
  }
  const double took = nowMs() - start;
  ASSERT_TRUE(send(d, hand.letGo()));
  ++sent;
  const auto lines = settledInput();
  streaming = false;
  sampler.join();
  const double peak = workingSetMb(engine_->id(), true);

  std::size_t inputs = 0;
  for (const std::string& l : lines) inputs += l.rfind("key ", 0) == 0 || l.rfind("wheel ", 0) == 0;
  const std::size_t quarter = samples.size() / 4;
  double early = 0, late = 0;
  for (std::size_t i = 0; i < quarter; ++i) {
    early = std::max(early, samples[i]);
    late = std::max(late, samples[samples.size() - 1 - i]);
  }
  std::printf("load: %zu reports sent in %.1f s (%.0f/s), %zu of them moving a control, %zu inputs seen, "
              "working set first quarter max %.1f MB, last quarter max %.1f MB, peak %.1f MB, keys held at "
              "the end: %zu\n",
              sent, took / 1000, sent * 1000.0 / took, hand.changes(), inputs, early, late, peak,
              heldKeys(lines).size());
  ASSERT_GE(quarter, 4u);
  EXPECT_GE(sent, static_cast<std::size_t>(kSeconds * kPerMs * 1000 * 0.95));
  EXPECT_GT(inputs, 0u);
  EXPECT_TRUE(heldKeys(lines).empty()) << ::testing::PrintToString(heldKeys(lines));
  // Flat: nothing grows with the reports (generous: Wine's own allocations move a little).
  EXPECT_LT(late, early + 4.0);
  // Every held control the hand pressed was let go, and its key went up.
  for (const auto& [button, upLine] : kHeldKeyOfButton) {
    if (!hand.pressed().count(button)) continue;
    EXPECT_GT(std::count(lines.begin(), lines.end(), upLine), 0) << "button " << button;
  }
}

TEST_F(EngineLoad, TenDevicesAtOnce) {
  startEngine();
  std::vector<int> ids;
  for (int i = 0; i < 10; ++i) {
    ids.push_back(devices_->plug(kMakerVendor, kMakerController));
    ASSERT_GE(ids.back(), 0);
  }
  std::vector<RandomHand> hands;
  for (int i = 0; i < 10; ++i) hands.emplace_back(1000 + i);
  std::vector<std::thread> players;
  std::atomic<int> failures{0};
  for (int i = 0; i < 10; ++i) {
    players.emplace_back([&, i] {
      if (!send(ids[i], hands[i].letGo())) ++failures;
      for (int n = 0; n < 600; ++n) {
        if (!send(ids[i], hands[i].next())) ++failures;
        if (n % 4 == 0) Sleep(1);
      }
      if (!send(ids[i], hands[i].letGo())) ++failures;
    });
  }
  for (auto& t : players) t.join();
  EXPECT_EQ(failures.load(), 0);
  const auto lines = settledInput();
  std::printf("ten devices: 6,020 reports, %zu inputs seen, keys held at the end: %zu\n", lines.size(),
              heldKeys(lines).size());
  EXPECT_TRUE(heldKeys(lines).empty()) << ::testing::PrintToString(heldKeys(lines));
  // Half of them unplugged mid-hold: their keys go up too.
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(send(ids[i], state(2)));
  ASSERT_TRUE(waitUntil([&] {
    const auto seen = observer_.lines();
    return std::count(seen.begin(), seen.end(), std::string("key 0D down ext extra=1")) >= 1;
  }));
  for (int i = 0; i < 10; i += 2) devices_->unplug(ids[i]);
  for (int i = 1; i < 10; i += 2) ASSERT_TRUE(send(ids[i], state(0)));
  EXPECT_TRUE(heldKeys(settledInput()).empty());
}

// WM_QUIT while a controller streams reports and a key is held: the engine ends within a
// second every time, and lets the key go. (The stop used to carry out what the device went on
// reporting while it let go, and so never ended while the device streamed.)
TEST_F(EngineLoad, TwoHundredStopsWhileStreamingEachEndWithinASecond) {
  const int runs = 200;
  std::vector<double> stops;
  for (int run = 0; run < runs; ++run) {
    SCOPED_TRACE(run);
    observer_.clear();
    startEngine();
    const int d = devices_->plug(kMakerVendor, kMakerController);
    ASSERT_GE(d, 0);
    std::atomic<bool> streaming{true};
    std::thread player([&] {
      RandomHand hand(static_cast<std::uint32_t>(run));
      send(d, hand.letGo());
      send(d, state(2));  // the keypad Enter held from here on
      std::uint8_t jog = 0;
      while (streaming) {
        ++jog;
        if (!send(d, state(static_cast<std::uint16_t>(2 | (jog & 1)), 0, jog))) break;
        Sleep(1);
      }
    });
    ASSERT_TRUE(waitUntil([&] { return observer_.lines().size() >= 4; }));
    HWND w = FindWindowA(kEngineWindowClass, nullptr);
    ASSERT_NE(w, nullptr);
    const double start = nowMs();
    SendMessageA(w, WM_QUIT, 0, 0);
    const auto code = engine_->wait(8000);
    const double took = nowMs() - start;
    streaming = false;
    player.join();
    stops.push_back(took);
    EXPECT_EQ(code, std::optional<DWORD>(0u));
    EXPECT_LT(took, 1000.0);
    EXPECT_TRUE(waitUntil([&] { return heldKeys(observer_.lines()).empty(); }, 2000));
    if (HasFatalFailure()) return;
  }
  std::sort(stops.begin(), stops.end());
  std::printf("stops: %d by WM_QUIT while streaming; median %.0f ms, slowest %.0f ms\n", runs,
              stops[stops.size() / 2], stops.back());
}

}  // namespace
}  // namespace ringdeck::wine
