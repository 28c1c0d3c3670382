// The output stage's way out: SendInput, GetKeyState, window timers and the 0x414 wake-up.
#pragma once

#include <windows.h>

#include <atomic>

#include "engine_core.h"

namespace ringdeck::engine::win32 {

class SendInputSink final : public InputSink {
 public:
  std::size_t sendKeys(std::span<const KeyInput> batch) override;
  void sendWheel(std::int32_t wheelUnits) override;
  bool numLockOn() override;
};

class WindowTimers final : public TimerService {
 public:
  void attach(HWND window) { window_ = window; }
  void startTimer(std::uint16_t id, std::uint32_t periodMs) override;
  void stopTimer(std::uint16_t id) override;

 private:
  HWND window_ = nullptr;
};

// At most one 0x414 waits in the window's queue at a time: the message carries out what is
// queued, however much, so one is enough, and a window flooded with them would get no WM_TIMER
// and no WM_QUIT (both come only when no posted message waits) until the flood ended.
class PostingWaker final : public EngineWaker {
 public:
  void attach(HWND window) { window_ = window; }
  // Any thread: posts 0x414 unless one is waiting already.
  void wake() override;
  // Window thread, as a 0x414 is handled: events queued from now on need a message of their own.
  void taken() {
    if (!stopped_.load()) pending_.store(false);
  }
  // Window thread, when the engine stops: no more 0x414, so that WM_QUIT comes next.
  void stop() {
    stopped_.store(true);
    pending_.store(true);
  }

 private:
  HWND window_ = nullptr;
  std::atomic<bool> pending_{false};
  std::atomic<bool> stopped_{false};
};

}  // namespace ringdeck::engine::win32
