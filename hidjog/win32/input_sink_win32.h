// The output stage's way out: SendInput, GetKeyState, window timers and the 0x414 wake-up.
#pragma once

#include <windows.h>

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

class PostingWaker final : public EngineWaker {
 public:
  void attach(HWND window) { window_ = window; }
  void wake() override;

 private:
  HWND window_ = nullptr;
};

}  // namespace ringdeck::engine::win32
