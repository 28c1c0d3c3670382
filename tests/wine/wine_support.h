// Helpers for the integration tests and the demo, which run the real programs under Wine:
// processes, the virtual devices, an observer of synthesised input, stand-in windows of the
// other programs, and a watcher that reads and closes message boxes.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace ringdeck::wine {

// Directory of this program, with a trailing backslash.
std::string programDirectory();
// A program built at the given path in the build tree (a Unix path; Wine sees it on Z:).
std::string windowsPath(const std::string& unixPath);

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool start(const std::string& exe, const std::string& arguments);
  // Exit code, or nothing when it did not end in time (it is then killed).
  std::optional<DWORD> wait(DWORD timeoutMs);
  bool running() const;
  DWORD id() const { return info_.dwProcessId; }

 private:
  PROCESS_INFORMATION info_{};
};

// Milliseconds of the performance counter, for the timing programs.
double nowMs();

// Runs this thread's messages until pred() holds or the time is up (the programs under test
// send to windows of this thread while it waits).
bool waitUntil(const std::function<bool()>& pred, DWORD timeoutMs = 5000);

// One line per synthesised input seen by low-level hooks on a thread of their own:
//   key <vk> down|up [ext] extra=<n>      wheel <delta> extra=<n>
class InputObserver {
 public:
  InputObserver();
  ~InputObserver();
  InputObserver(const InputObserver&) = delete;
  InputObserver& operator=(const InputObserver&) = delete;

  std::vector<std::string> lines();
  void clear();
  // Waits until at least n lines have been seen.
  bool waitForLines(std::size_t n, DWORD timeoutMs = 5000);
  // Every line seen so far, once no new line has come for quietMs.
  std::vector<std::string> settledLines(DWORD quietMs);
  // Called with each line as it is seen (on the hook thread), if set before input arrives.
  std::function<void(const std::string&)> onLine;

 private:
  void run();
  std::thread thread_;
  DWORD threadId_ = 0;
  std::atomic<bool> ready_{false};
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<std::string> lines_;
};

// The keys still down after the observer's lines, each as "<vk>" or "<vk> ext".
std::set<std::string> heldKeys(const std::vector<std::string>& lines);

// The test's side of the virtual devices: the hub pipe and one pipe per plugged device.
class VirtualDevices {
 public:
  VirtualDevices();
  ~VirtualDevices();
  VirtualDevices(const VirtualDevices&) = delete;
  VirtualDevices& operator=(const VirtualDevices&) = delete;

  // Waits for the engine to connect to the hub.
  bool waitForEngine(DWORD timeoutMs = 10000);
  // Announces a device and waits for the engine to open it; returns its number or -1.
  int plug(std::uint16_t vendor, std::uint16_t product, DWORD timeoutMs = 5000);
  bool send(int device, const std::uint8_t (&report)[8]);
  bool sendRaw(int device, const void* bytes, DWORD size);
  void unplug(int device);
  bool deviceOpen(int device) const;

 private:
  HANDLE hub_ = INVALID_HANDLE_VALUE;
  std::thread hubWaiter_;
  std::atomic<bool> hubConnected_{false};
  std::vector<HANDLE> devices_;
  int next_ = 0;
};

// A hidden top-level window with a message loop on a thread of its own, answering messages
// through a handler (return true with the reply to answer, false for default processing).
class StandInWindow {
 public:
  using Handler = std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)>;
  StandInWindow(const char* className, const char* title, Handler handler);
  ~StandInWindow();
  StandInWindow(const StandInWindow&) = delete;
  StandInWindow& operator=(const StandInWindow&) = delete;
  HWND handle() const { return window_; }

 private:
  static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM);
  std::string className_;
  Handler handler_;
  std::thread thread_;
  std::atomic<HWND> window_{nullptr};
  DWORD threadId_ = 0;
};

// Closes every message box of the given caption that appears, remembering its text.
class MessageBoxWatcher {
 public:
  explicit MessageBoxWatcher(std::string caption);
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
  std::vector<std::string> texts();
  bool waitForBoxes(std::size_t n, DWORD timeoutMs = 5000);

 private:
  std::string caption_;
  std::atomic<bool> stop_{false};
  std::mutex m_;
  std::vector<std::string> texts_;
  std::thread thread_;
};

}  // namespace ringdeck::wine
