// The reload message reaches a window of the helper's or the engine's class with the current
// set and the number of sets; a missing window is reported, not waited for.
#include "win32_peer_messenger.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "protocol.h"

namespace ringdeck::panel::win32 {
namespace {

struct Received {
  const char* window;
  WPARAM wParam;
  LPARAM lParam;
};

std::vector<Received>& received() {
  static std::vector<Received> log;  // the window procedure has nowhere else to put it
  return log;
}

LRESULT CALLBACK recordReload(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  static const UINT reload = RegisterWindowMessageA(kMsgReloadAllPreferences);
  if (message == reload) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    received().push_back({std::string(name) == kHelperWindowClass ? "helper" : "engine", wParam,
                          lParam});
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND hiddenWindowOfClass(const char* className) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = recordReload;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = className;
  RegisterClassA(&wc);
  return CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
}

TEST(Win32PeerMessenger, SendsToTheWindowsFoundByClass) {
  Win32PeerMessenger peers;
  EXPECT_FALSE(peers.sendReloadAllPreferences(Peer::Helper, 1, 2));
  EXPECT_FALSE(peers.sendReloadAllPreferences(Peer::Engine, 1, 2));

  HWND helper = hiddenWindowOfClass(kHelperWindowClass);
  HWND engine = hiddenWindowOfClass(kEngineWindowClass);
  ASSERT_NE(helper, nullptr);
  ASSERT_NE(engine, nullptr);
  EXPECT_TRUE(peers.sendReloadAllPreferences(Peer::Helper, 3, 7));
  EXPECT_TRUE(peers.sendReloadAllPreferences(Peer::Engine, 3, 7));
  ASSERT_EQ(received().size(), 2u);
  EXPECT_STREQ(received()[0].window, "helper");
  EXPECT_EQ(received()[0].wParam, 3u);
  EXPECT_EQ(received()[0].lParam, 7);
  EXPECT_STREQ(received()[1].window, "engine");
  DestroyWindow(helper);
  DestroyWindow(engine);
}

// A window of the helper's class that never answers (a hung program, or another program that
// took the class name): the reload gives up on it instead of hanging the save.
TEST(Win32PeerMessenger, AWindowThatNeverAnswersDoesNotHangTheReload) {
  std::atomic<HWND> squatter{nullptr};
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread hung([&] {
    squatter = hiddenWindowOfClass(kHelperWindowClass);
    WaitForSingleObject(release, INFINITE);  // never pumps its messages meanwhile
    DestroyWindow(squatter);
  });
  while (!squatter) Sleep(10);
  std::atomic<bool> done{false};
  std::thread save([&] {
    Win32PeerMessenger peers;
    peers.sendReloadAllPreferences(Peer::Helper, 0, 1);
    done = true;
  });
  for (int i = 0; i < 3000 && !done; ++i) Sleep(10);
  const bool returned = done;
  SetEvent(release);
  save.join();
  hung.join();
  CloseHandle(release);
  EXPECT_TRUE(returned) << "the reload waited 30 s on a window that does not answer";
}

TEST(Win32PeerMessenger, AMissingHelperProgramIsNoFailure) {
  ASSERT_EQ(FindWindowA(kHelperWindowClass, nullptr), nullptr);
  Win32PeerMessenger peers;
  peers.StartHelper();  // no "RingDeck Helper.exe" beside the test: logged and ignored
  Sleep(300);
  EXPECT_EQ(FindWindowA(kHelperWindowClass, nullptr), nullptr);
}

}  // namespace
}  // namespace ringdeck::panel::win32
