// The controllers' side of the engine's virtual devices (docs/virtual-device.md): the hub pipe
// that announces each controller and one pipe per plugged controller carrying its reports. A
// thread of its own does all pipe work, so the window never waits for the engine; a lost engine
// is waited for, and the plugged controllers are announced again when it comes back.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "controller_model.h"

namespace ringdeck::vcontroller {

enum class PlugState { Unplugged, WaitingForEngine, PluggedIn };

class DeviceServer {
 public:
  // Called on the server's thread whenever a controller's state changes.
  using Notify = std::function<void(int controller, PlugState state)>;

  explicit DeviceServer(Notify notify);
  ~DeviceServer();  // unplugs every controller
  DeviceServer(const DeviceServer&) = delete;
  DeviceServer& operator=(const DeviceServer&) = delete;

  // Creates the hub and starts serving; false when it cannot be created (another program serves
  // the virtual devices already), with the system's error in error().
  bool start();
  DWORD error() const { return error_; }

  static constexpr int kMaxControllers = 8;

  // A new controller, unplugged, with the device identity its pipe gives; -1 when there are
  // kMaxControllers already.
  int add(std::uint16_t vendor, std::uint16_t product);
  void plug(int controller);
  void unplug(int controller);
  // The controller's state now: sent at once while it is plugged in, and its starting state when
  // it is plugged in again.
  void send(int controller, const Report& report);
  PlugState state(int controller) const;

 private:
  struct Controller {
    std::uint16_t vendor = 0, product = 0;
    bool wanted = false;  // plugged in by the person
    HANDLE pipe = INVALID_HANDLE_VALUE;
    Report last{};
    PlugState state = PlugState::Unplugged;
  };
  struct Command {
    enum Kind { Plug, Unplug, Send, Stop } kind;
    int controller;
    Report report;
  };

  void post(const Command& c);
  void run();
  void handle(const Command& c);
  void startHubConnect();
  void hubLost();
  bool announce(int controller);
  void lose(int controller, PlugState next);
  void setState(int controller, PlugState s);
  bool writeTo(HANDLE pipe, const void* bytes, DWORD size, DWORD timeoutMs);

  Notify notify_;
  DWORD error_ = 0;
  HANDLE hub_ = INVALID_HANDLE_VALUE;
  OVERLAPPED hubConnect_{};
  bool hubPending_ = false;
  bool hubConnected_ = false;
  HANDLE wake_ = nullptr;
  HANDLE stop_ = nullptr;
  std::thread thread_;
  mutable std::mutex m_;
  std::deque<Command> queue_;
  std::array<Controller, kMaxControllers> controllers_;  // the thread's
  int count_ = 0;                                       // under m_
  std::array<PlugState, kMaxControllers> states_{};     // under m_
  unsigned nextPipe_ = 0;
};

}  // namespace ringdeck::vcontroller
