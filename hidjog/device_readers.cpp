#include "device_readers.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace ringdeck::engine {

void ReportChunks::filled(std::size_t got) {
  got_ = std::min(got, bytes_.size());
  at_ = 0;
}

bool ReportChunks::next(Report& out) {
  if (length_ < out.size()) return false;
  if (got_ - at_ < length_) return false;
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at_), out.size(), out.begin());
  at_ += length_;
  return true;
}

OpenResult DeviceReaders::enumerate() {
  OpenResult result = OpenResult::Refused;
  port_.enumerate([&](const std::string& path) {
    if (result == OpenResult::ThreadFailed) return;
    if (openDevice(path) == OpenResult::ThreadFailed) result = OpenResult::ThreadFailed;
  });
  return result == OpenResult::ThreadFailed ? result : OpenResult::Taken;
}

OpenResult DeviceReaders::openDevice(const std::string& path) {
  DeviceIdentity id;
  auto handle = port_.open(path, id);
  if (!handle) return OpenResult::Refused;
  switch (matchDevice(id.vendor, id.product)) {
    case DeviceMatch::Accept:
      break;
    case DeviceMatch::RefuseIncompatible:
      notices_.incompatibleDevice();
      return OpenResult::Refused;
    case DeviceMatch::Refuse:
      return OpenResult::Refused;
  }

  std::size_t index = kMaxDevices;
  {
    std::lock_guard lock(slotsLock_);
    for (std::size_t i = 0; i < kMaxDevices; ++i) {
      if (!slotInUse_[i]) {
        slotInUse_[i] = true;
        index = i;
        break;
      }
    }
  }
  if (index == kMaxDevices) return OpenResult::Refused;

  notices_.deviceCountChanged(++count_);
  try {
    // Readers blocked on a device end with the process: nobody waits for them in the product.
    std::thread(&DeviceReaders::readLoop, this, index, std::move(handle)).detach();
  } catch (const std::system_error&) {
    return OpenResult::ThreadFailed;
  }
  return OpenResult::Taken;
}

void DeviceReaders::readLoop(std::size_t index, std::unique_ptr<DeviceHandle> handle) {
  Report report{};
  if (handle->readReport(report)) {
    consumer_.baseline(index, report);
    while (handle->readReport(report)) {
      if (target_.offer(sender_, report)) {
        consumer_.taken(index, report);
      } else {
        consumer_.decode(index, report);
      }
    }
    consumer_.lost(index);
  }
  handle.reset();
  notices_.deviceCountChanged(--count_);
  // The last touch of this object: a waiter may destroy it once the slot is free.
  std::lock_guard lock(slotsLock_);
  slotInUse_[index] = false;
  readerEnded_.notify_all();
}

void DeviceReaders::waitForReaders() {
  std::unique_lock lock(slotsLock_);
  readerEnded_.wait(lock, [&] {
    for (bool used : slotInUse_) {
      if (used) return false;
    }
    return true;
  });
}

}  // namespace ringdeck::engine
