// A device for tests of the reader threads: the test pushes reports, a reader blocks in read()
// until one is there or the device is unplugged, and idle() waits until the reader has taken
// every pushed report and come back for the next.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "device_readers.h"

namespace ringdeck::engine::testing {

class ScriptedDevice {
 public:
  void push(const Report& r) {
    std::lock_guard l(m_);
    q_.push_back(r);
    cv_.notify_all();
  }
  void unplug() {
    std::lock_guard l(m_);
    gone_ = true;
    cv_.notify_all();
  }
  bool read(Report& r) {
    std::unique_lock l(m_);
    waiting_ = true;
    cv_.notify_all();
    cv_.wait(l, [&] { return gone_ || !q_.empty(); });
    waiting_ = false;
    if (q_.empty()) return false;
    r = q_.front();
    q_.pop_front();
    return true;
  }
  // False when the reader did not come back within five seconds.
  bool idle() {
    std::unique_lock l(m_);
    return cv_.wait_for(l, std::chrono::seconds(5), [&] { return waiting_ && q_.empty(); });
  }

  // A handle that reads this device, for a DevicePort to hand out.
  std::unique_ptr<DeviceHandle> handle() {
    struct Handle final : DeviceHandle {
      explicit Handle(ScriptedDevice& d) : device(d) {}
      bool readReport(Report& r) override { return device.read(r); }
      ScriptedDevice& device;
    };
    return std::make_unique<Handle>(*this);
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<Report> q_;
  bool gone_ = false;
  bool waiting_ = false;
};

}  // namespace ringdeck::engine::testing
