// The controller's window: the device drawn from the control panel's pictures, played with the
// mouse, each window one controller served by the shared DeviceServer.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <mutex>
#include <string>

#include "controller_model.h"
#include "device_map.h"
#include "device_server.h"

namespace ringdeck::vcontroller {

inline constexpr const char* kWindowClass = "RingDeck Virtual Controller";
inline constexpr const char* kCaption = "RingDeck Virtual Controller";
// The device picture is drawn at this multiple of its size, from the window's top-left corner.
inline constexpr int kPictureScale = 2;
inline constexpr UINT kMsgPlugState = WM_APP + 1;  // wParam controller, lParam PlugState

// The pictures, loaded once from the resources.
struct DeviceArt {
  HBITMAP device = nullptr;
  std::array<HBITMAP, panel::kControlCount> highlights{};
  std::unique_ptr<DeviceMask> mask;
  bool load(HINSTANCE instance);
  ~DeviceArt();
};

class ControllerApp;

// Lets the windows of this thread tell the person's wheel turns from those a program makes.
void InstallWheelHook(HINSTANCE instance);
void RemoveWheelHook();

class ControllerWindow {
 public:
  ControllerWindow(ControllerApp& app, int controller, int number);
  ~ControllerWindow();
  ControllerWindow(const ControllerWindow&) = delete;
  ControllerWindow& operator=(const ControllerWindow&) = delete;

  bool create(int x, int y);
  HWND handle() const { return hwnd_; }
  int controller() const { return controller_; }

  static bool registerClass(HINSTANCE instance);

 private:
  static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM);
  LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
  void paint(HDC dc);
  void changed();  // after the model changed: send the report, draw again
  POINT toPicture(int x, int y) const;
  void menuState(HMENU menu);
  void close();
  std::string statusLine() const;
  std::string plugLine() const;

  ControllerApp& app_;
  int controller_;
  int number_;  // 1 for the first window, 2 for the second
  HWND hwnd_ = nullptr;
  ControllerModel model_;
  Report lastSent_{};
  bool sentOnce_ = false;
  bool jogLit_ = false;
  PlugState state_ = PlugState::Unplugged;
  HFONT font_ = nullptr;
};

class ControllerApp {
 public:
  explicit ControllerApp(HINSTANCE instance);
  ~ControllerApp();
  // Serves the pipes, opens the first window; the exit status when it cannot.
  int run(int showCommand);

  HINSTANCE instance() const { return instance_; }
  DeviceServer& server() { return *server_; }
  const DeviceArt& art() const { return art_; }
  bool secondOpen() const { return second_ && second_->handle(); }
  void openSecond();
  void windowClosed(ControllerWindow* window);

 private:
  HINSTANCE instance_;
  DeviceArt art_;
  std::unique_ptr<DeviceServer> server_;
  std::unique_ptr<ControllerWindow> first_, second_;
  int controllers_[2] = {-1, -1};
  // The window of each controller, for the server's thread to post to.
  std::mutex windowsLock_;
  HWND windows_[2] = {nullptr, nullptr};
};

}  // namespace ringdeck::vcontroller
