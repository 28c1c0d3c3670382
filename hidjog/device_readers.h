// Finding, opening and reading the controllers. Opening runs on the engine window's thread
// (enumeration at start, arrival notifications); each open device then has a reader thread of
// its own that reads 8-byte reports until a read fails.
//
// What a reader does with a report is the engine's business (ReportConsumer): the first report
// of a device only sets the baseline; each later one is first offered to the report target and,
// unless the target took it, decoded. When the device is lost, the engine releases everything the
// device still holds before the open-device count drops.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "device_table.h"
#include "report_target.h"

namespace ringdeck::engine {

using Report = std::array<std::uint8_t, 8>;

struct DeviceIdentity {
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
};

// What a device's reads return, cut into its input reports. A read of a HID device may return
// several queued reports at once, each reportLength bytes long (the device's own input report
// length); each whole report gives the engine its first 8 bytes, in order. What is not a whole
// report (a short read, the tail of a read) is skipped rather than padded into a phantom report;
// so is every report of a device whose reports are shorter than 8 bytes.
class ReportChunks {
 public:
  ReportChunks(std::size_t reportLength, std::size_t reportsPerRead)
      : length_(reportLength), bytes_(reportLength * reportsPerRead) {}

  // Where the next read goes, and how much it may return.
  std::uint8_t* buffer() { return bytes_.data(); }
  std::size_t capacity() const { return bytes_.size(); }
  // A read returned got bytes into buffer(); the reports of an earlier read are forgotten.
  void filled(std::size_t got);
  // The next whole report of the last read; false when it has no more.
  bool next(Report& out);

 private:
  std::size_t length_;
  std::vector<std::uint8_t> bytes_;
  std::size_t got_ = 0;
  std::size_t at_ = 0;
};

// One open device.
class DeviceHandle {
 public:
  virtual ~DeviceHandle() = default;
  // Blocks for the next report; false once the device is gone or stopped.
  virtual bool readReport(Report& report) = 0;
};

// Where devices come from: the HID class in the product, named pipes in the virtual build.
class DevicePort {
 public:
  virtual ~DevicePort() = default;
  // Calls found with the interface path of every present device; stops when the list of
  // present devices cannot be had.
  virtual void enumerate(const std::function<void(const std::string&)>& found) = 0;
  // Opens a device for reading and tells its identity; nothing when it cannot be opened.
  virtual std::unique_ptr<DeviceHandle> open(const std::string& path, DeviceIdentity& identity) = 0;
};

// The engine's side of the readers. deviceIndex identifies the device among the open ones.
class ReportConsumer {
 public:
  virtual ~ReportConsumer() = default;
  virtual void baseline(std::size_t deviceIndex, const Report& report) = 0;
  // Decodes the change from the previous report (under the settings lock).
  virtual void decode(std::size_t deviceIndex, const Report& report) = 0;
  // The report target took the report: its changes are not acted on, but it is the device's
  // new baseline (controls it no longer holds must still be let go).
  virtual void taken(std::size_t deviceIndex, const Report& report) = 0;
  // Releases everything the device still holds.
  virtual void lost(std::size_t deviceIndex) = 0;
};

class DeviceNotices {
 public:
  virtual ~DeviceNotices() = default;
  // Status.Notify to the helper after every change of the open-device count.
  virtual void deviceCountChanged(std::uint32_t count) = 0;
  // The warning box for the maker's other model.
  virtual void incompatibleDevice() = 0;
};

enum class OpenResult { Taken, Refused, ThreadFailed };

class DeviceReaders {
 public:
  // At most this many devices are open at once; a further one is refused.
  static constexpr std::size_t kMaxDevices = 16;

  DeviceReaders(DevicePort& port, ReportTarget& target, ReportSender& sender,
              ReportConsumer& consumer, DeviceNotices& notices)
      : port_(port), target_(target), sender_(sender), consumer_(consumer), notices_(notices) {}
  DeviceReaders(const DeviceReaders&) = delete;
  DeviceReaders& operator=(const DeviceReaders&) = delete;

  // Opens every present device; ThreadFailed as soon as a reader cannot be started.
  OpenResult enumerate();
  OpenResult openDevice(const std::string& path);

  std::uint32_t openCount() const { return count_.load(); }
  // Waits until every reader has ended (tests: their devices end by themselves).
  void waitForReaders();

 private:
  void readLoop(std::size_t index, std::unique_ptr<DeviceHandle> handle);

  DevicePort& port_;
  ReportTarget& target_;
  ReportSender& sender_;
  ReportConsumer& consumer_;
  DeviceNotices& notices_;
  std::atomic<std::uint32_t> count_{0};
  std::mutex slotsLock_;
  std::condition_variable readerEnded_;
  std::array<bool, kMaxDevices> slotInUse_{};
};

}  // namespace ringdeck::engine
