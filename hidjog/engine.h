// The running engine without its window: the settings image and the set in use, translation,
// the output stage, the report target and the devices, wired together. The Win32 glue owns one
// Engine and forwards its window's messages to it; readers call in from their own threads.
//
// Threads: every method except the ReportConsumer / DeviceNotices side runs on the engine
// window's thread. Reader threads decode under the settings lock; the window thread takes the
// same lock to switch or reload sets. Status.Notify and the report target's Report.Notify are
// sent without the lock held, so a slow receiver never stalls the other threads' decoding.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "device_readers.h"
#include "engine_core.h"
#include "report_target.h"
#include "settings_image.h"

namespace ringdeck::engine {

// Status.Notify to the helper's window, when there is one.
class StatusSink {
 public:
  virtual ~StatusSink() = default;
  virtual void statusNotify(std::uint32_t currentIndex, std::uint32_t deviceCount) = 0;
};

// The warning box for the maker's other model (shown on the window thread).
class WarningBox {
 public:
  virtual ~WarningBox() = default;
  virtual void incompatibleDevice() = 0;
};

struct EnginePorts {
  FileSystem& files;
  SectionFactory& sections;
  InputSink& input;
  TimerService& timers;
  EngineWaker& waker;
  ReportSender& reports;
  StatusSink& status;
  DevicePort& devices;
  WarningBox& warning;
};

class Engine final : private ReportConsumer, private DeviceNotices {
 public:
  Engine(const EnginePorts& ports, std::string settingsPath);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Loads the image with the global set current. False: the settings file cannot be used
  // (the program shows its path and ends).
  bool loadSettings();
  OpenResult enumerateDevices() { return readers_.enumerate(); }
  OpenResult deviceArrived(const std::string& path) { return readers_.openDevice(path); }

  // The registered messages.
  std::uintptr_t reportRequest(std::uintptr_t wParam, WindowId window) {
    return target_.handleRequest(wParam, window);
  }
  void statusRequest() { notifyStatus(); }
  void changeCurrentSet(std::uint32_t index);
  // False: the file could not be loaded again (the program ends as at start).
  bool reloadSettings(std::uint32_t selected, std::uint32_t count);

  // 0x414, WM_TIMER, WM_SETTINGCHANGE.
  // Events still waiting after one message's share are carried by a message of their own.
  void onQueuedEvent() {
    if (core_.output.onQueuedEvent(core_.queue)) waker_.wake();
  }
  void onTimer(std::uint16_t id) { core_.output.onTimer(id); }
  void setKeyboardRepeatSpeed(unsigned speed) { core_.translator.setSystemRepeatSpeed(speed); }

  // The engine stops: nothing it sent down stays down, and what devices report from here on is
  // no longer acted on (a device streaming reports would otherwise keep the stop from ending).
  void releaseEverything();

  std::uint32_t currentSetIndex();
  std::uint32_t deviceCount() const { return readers_.openCount(); }
  const OutputStage& output() const { return core_.output; }
  const std::string& settingsPath() const { return image_.path(); }
  // Tests: wait for every reader to end.
  void waitForReaders() { readers_.waitForReaders(); }

 private:
  void baseline(std::size_t device, const Report& report) override;
  void decode(std::size_t device, const Report& report) override;
  void taken(std::size_t device, const Report& report) override;
  void lost(std::size_t device) override;
  void deviceCountChanged(std::uint32_t count) override;
  void incompatibleDevice() override { warning_.incompatibleDevice(); }

  void notifyStatus();
  void useCurrentSet();  // settings lock held

  StatusSink& status_;
  WarningBox& warning_;
  EngineWaker& waker_;
  std::mutex settingsLock_;
  bool stopped_ = false;  // under settingsLock_
  SettingsImage image_;
  EngineCore core_;
  ReportTarget target_;
  std::array<DeviceInput, DeviceReaders::kMaxDevices> devices_{};
  DeviceReaders readers_;
};

}  // namespace ringdeck::engine
