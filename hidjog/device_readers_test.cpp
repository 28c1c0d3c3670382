#include "device_readers.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "protocol.h"
#include "scripted_device.h"

namespace ringdeck::engine {
namespace {

struct FakePort : DevicePort {
  struct Entry {
    DeviceIdentity id;
    bool openable = true;
    testing::ScriptedDevice device;
  };
  std::map<std::string, Entry> devices;
  bool listAvailable = true;

  void enumerate(const std::function<void(const std::string&)>& found) override {
    if (!listAvailable) return;
    for (auto& [path, e] : devices) found(path);
  }
  std::unique_ptr<DeviceHandle> open(const std::string& path, DeviceIdentity& id) override {
    auto it = devices.find(path);
    if (it == devices.end() || !it->second.openable) return nullptr;
    id = it->second.id;
    return it->second.device.handle();
  }
};

// Records what the readers and the device list did, in order, across threads.
struct Journal : ReportConsumer, DeviceNotices, ReportSender {
  std::mutex m;
  std::condition_variable cv;
  std::vector<std::string> lines;
  std::uintptr_t reply = kReportNotTaken;

  void add(std::string s) {
    std::lock_guard l(m);
    lines.push_back(std::move(s));
    cv.notify_all();
  }
  void waitFor(std::size_t n) {
    std::unique_lock l(m);
    ASSERT_TRUE(cv.wait_for(l, std::chrono::seconds(5), [&] { return lines.size() >= n; }))
        << "only " << lines.size() << " events";
  }
  static std::string hex(const Report& r) { return std::to_string(r[1]) + "/" + std::to_string(r[4]); }
  void baseline(std::size_t i, const Report& r) override { add("base " + std::to_string(i) + " " + hex(r)); }
  void decode(std::size_t i, const Report& r) override { add("decode " + std::to_string(i) + " " + hex(r)); }
  void taken(std::size_t i, const Report& r) override { add("taken " + std::to_string(i) + " " + hex(r)); }
  void lost(std::size_t i) override { add("lost " + std::to_string(i)); }
  void deviceCountChanged(std::uint32_t n) override { add("count " + std::to_string(n)); }
  void incompatibleDevice() override { add("warning"); }
  std::uintptr_t sendReportNotify(WindowId, std::uint32_t, std::uint32_t) override {
    add("notify");
    return reply;
  }
};

Report report(std::uint8_t shuttle, std::uint8_t buttons) { return Report{0, shuttle, 0, 0, buttons, 0, 0, 0}; }

class DeviceReadersTest : public ::testing::Test {
 protected:
  void add(const std::string& path, std::uint16_t vendor, std::uint16_t product) {
    port.devices[path].id = {vendor, product};
  }
  testing::ScriptedDevice& device(const std::string& path) { return port.devices[path].device; }
  void TearDown() override {
    for (auto& [p, e] : port.devices) e.device.unplug();
    input.waitForReaders();
  }

  FakePort port;
  ReportTarget target;
  Journal journal;
  DeviceReaders input{port, target, journal, journal, journal};
};

TEST_F(DeviceReadersTest, OnlyTheControllersAreTakenAndTheOtherModelWarns) {
  add("a-wine-mouse", 0x845E, 1);
  add("b-wine-keyboard", 0x845E, 2);
  add("c-controller", kMakerVendor, kMakerController);
  add("d-other-model", kMakerVendor, kMakerOtherModel);
  add("e-partner", kPartnerVendor, kPartnerController);
  port.devices["f-unopenable"].openable = false;
  EXPECT_EQ(input.enumerate(), OpenResult::Taken);
  EXPECT_EQ(journal.lines, (std::vector<std::string>{"count 1", "warning", "count 2"}));
  EXPECT_EQ(input.openCount(), 2u);
}

TEST_F(DeviceReadersTest, NoDeviceListMeansNothingOpens) {
  add("c-controller", kMakerVendor, kMakerController);
  port.listAvailable = false;
  input.enumerate();
  EXPECT_EQ(input.openCount(), 0u);
}

TEST_F(DeviceReadersTest, FirstReportIsTheBaselineAndLossReleasesBeforeTheCountDrops) {
  add("dev", kMakerVendor, kMakerController);
  ASSERT_EQ(input.openDevice("dev"), OpenResult::Taken);
  device("dev").push(report(0, 1));
  device("dev").push(report(3, 1));
  device("dev").push(report(3, 0));
  device("dev").unplug();
  input.waitForReaders();
  EXPECT_EQ(journal.lines, (std::vector<std::string>{"count 1", "base 0 0/1", "decode 0 3/1",
                                                      "decode 0 3/0", "lost 0", "count 0"}));
}

TEST_F(DeviceReadersTest, DeviceGoneBeforeItsFirstReportHoldsNothing) {
  add("dev", kMakerVendor, kMakerController);
  input.openDevice("dev");
  device("dev").unplug();
  input.waitForReaders();
  EXPECT_EQ(journal.lines, (std::vector<std::string>{"count 1", "count 0"}));
}

TEST_F(DeviceReadersTest, ReportsTakenByTheTargetAreNotDecodedButBecomeTheBaseline) {
  add("dev", kMakerVendor, kMakerController);
  input.openDevice("dev");
  device("dev").push(report(0, 0));
  journal.waitFor(2);
  target.handleRequest(kReportRegister, 0x1234);
  journal.reply = kReportTaken;
  device("dev").push(report(2, 0));
  journal.waitFor(4);
  journal.reply = 0;  // the target went away: it is dropped and the report acted on
  device("dev").push(report(4, 0));
  journal.waitFor(6);
  device("dev").push(report(5, 0));
  journal.waitFor(7);
  EXPECT_EQ(journal.lines, (std::vector<std::string>{"count 1", "base 0 0/0", "notify", "taken 0 2/0",
                                                      "notify", "decode 0 4/0", "decode 0 5/0"}) );
  EXPECT_EQ(target.current(), 0u);
}

TEST_F(DeviceReadersTest, TwoDevicesAreReadIndependently) {
  add("one", kMakerVendor, kMakerController);
  add("two", kPartnerVendor, kPartnerController);
  input.enumerate();
  EXPECT_EQ(input.openCount(), 2u);
  device("one").push(report(1, 0));
  device("two").push(report(2, 0));
  device("two").push(report(2, 4));
  journal.waitFor(5);
  device("two").unplug();
  journal.waitFor(7);
  EXPECT_EQ(input.openCount(), 1u);
  EXPECT_EQ(journal.lines.back(), "count 1");
  EXPECT_NE(std::find(journal.lines.begin(), journal.lines.end(), "decode 1 2/4"), journal.lines.end());
}

TEST_F(DeviceReadersTest, ASlotFreedByALostDeviceIsUsedAgain) {
  add("one", kMakerVendor, kMakerController);
  input.openDevice("one");
  device("one").unplug();
  input.waitForReaders();
  port.devices.erase("one");
  add("one", kMakerVendor, kMakerController);
  input.openDevice("one");
  device("one").push(report(0, 0));
  device("one").push(report(1, 0));
  journal.waitFor(5);
  EXPECT_EQ(journal.lines[4], "decode 0 1/0");
}

// What reads return, cut into reports: every whole report in order, nothing of a partial one.
TEST(ReportChunks, EveryWholeReportOfAReadInOrderAndNoPartialOne) {
  struct Case {
    const char* what;
    std::size_t length;
    std::vector<std::size_t> reads;  // bytes each read returns; byte i of the device stream is i
    std::vector<std::uint8_t> firstBytes;  // byte 0 of each report the engine gets
  };
  const Case cases[] = {
      {"one report per read", 8, {8, 8}, {0, 8}},
      {"three queued reports in one read", 8, {24}, {0, 8, 16}},
      {"a short read is no report", 8, {5, 8}, {5}},
      {"the tail of a read is skipped", 8, {20, 8}, {0, 8, 20}},
      {"longer reports give their first 8 bytes", 9, {18, 9}, {0, 9, 18}},
      {"reports shorter than 8 bytes give nothing", 4, {8, 4}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReportChunks chunks(c.length, 4);
    std::vector<std::uint8_t> got;
    std::size_t stream = 0;
    for (std::size_t n : c.reads) {
      ASSERT_LE(n, chunks.capacity());
      for (std::size_t i = 0; i < n; ++i) chunks.buffer()[i] = static_cast<std::uint8_t>(stream + i);
      stream += n;
      chunks.filled(n);
      Report r;
      while (chunks.next(r)) {
        for (std::size_t i = 1; i < r.size(); ++i) ASSERT_EQ(r[i], static_cast<std::uint8_t>(r[0] + i));
        got.push_back(r[0]);
      }
    }
    EXPECT_EQ(got, c.firstBytes);
  }
}

}  // namespace
}  // namespace ringdeck::engine
