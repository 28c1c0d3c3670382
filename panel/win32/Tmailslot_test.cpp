// The single-instance channel between two real processes: this test owns the channel with a
// hidden top-level window, and a second start (mailslot_second_start.exe) hands over to it.
#include "Tmailslot.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ringdeck::panel::win32 {
namespace {

// A name of this run's own, so that a control panel running beside the test is not disturbed.
std::string testSlotName() {
  return "MailSlot\\RingDeckTest" + std::to_string(GetCurrentProcessId());
}

std::string windowsPath(std::string unixPath) {
  std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
  return "Z:" + unixPath;
}

struct SecondStart {
  DWORD processId = 0;
  std::optional<DWORD> exitCode;
};

// Runs the second start with the given command-line tail while this thread's messages are
// dispatched, until it has ended and done() holds.
SecondStart runSecondStart(const std::string& tail, const std::function<bool()>& done) {
  const std::string exe = windowsPath(RINGDECK_SECOND_START);
  std::string line = "\"" + exe + "\" " + tail;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  SecondStart result;
  if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return result;
  result.processId = info.dwProcessId;
  const DWORD start = GetTickCount();
  bool ended = false;
  while (GetTickCount() - start < 10000) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    ended = ended || WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0;
    if (ended && done()) break;
    MsgWaitForMultipleObjects(1, &info.hProcess, FALSE, 10, QS_ALLINPUT);
  }
  if (ended) {
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    result.exitCode = code;
  } else {
    TerminateProcess(info.hProcess, 9);
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return result;
}

// The running instance's hidden top-level window; what it does with the broadcast is the
// test's.
class HiddenWindow {
 public:
  using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM)>;
  explicit HiddenWindow(Handler handler) : handler_(std::move(handler)) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "RingDeckChannelTestWindow";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, wc.lpszClassName, "channel test", WS_OVERLAPPEDWINDOW, 0, 0,
                              100, 100, nullptr, nullptr, wc.hInstance, this);
  }
  ~HiddenWindow() { DestroyWindow(window_); }
  HWND handle() const { return window_; }

 private:
  static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      SetWindowLongPtrA(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(
                            reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<HiddenWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self != nullptr && self->handler_(window, message, wParam, lParam)) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
  }
  Handler handler_;
  HWND window_ = nullptr;
};

struct Received {
  std::uint32_t kind;
  std::uint32_t sender;
  std::string text;
};

TEST(TMailSlot, OnlyOneProcessOwnsTheChannelAndItBecomesFreeWhenClosed) {
  const std::string name = testSlotName();
  TMailSlot first(name);
  EXPECT_EQ(first.slotPath, "\\\\.\\mailslot\\Once\\" + name);
  EXPECT_EQ(first.processId, GetCurrentProcessId());
  EXPECT_EQ(first.messageId, RegisterWindowMessageA(first.slotPath.c_str()));
  ASSERT_TRUE(first.owner());
  {
    TMailSlot second(name);
    EXPECT_FALSE(second.owner());
    EXPECT_EQ(second.messageId, first.messageId);
    DWORD count = 9, nextSize = 9;
    EXPECT_FALSE(second.PendingInfo(count, nextSize));
    EXPECT_EQ(count + nextSize, 0u);
  }
  // Another process finds the channel taken and hands over (0) ...
  EXPECT_EQ(runSecondStart("\"" + name + "\"", [] { return true; }).exitCode, 0u);
  first.Close();
  EXPECT_FALSE(first.owner());
  // ... and once it is closed, the next start owns it (3).
  EXPECT_EQ(runSecondStart("\"" + name + "\"", [] { return true; }).exitCode, 3u);
  TMailSlot next(name);
  EXPECT_TRUE(next.owner());
}

TEST(TMailSlot, ASecondStartHandsOverItsArgumentsInOrder) {
  const std::string name = testSlotName();
  TMailSlot slot(name);
  ASSERT_TRUE(slot.owner());
  std::vector<Received> received;
  std::vector<std::pair<WPARAM, LPARAM>> wakeUps;
  HiddenWindow window([&](HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != slot.messageId) return false;
    wakeUps.emplace_back(wParam, lParam);
    SlotMessage m{};
    while (slot.ReadSlotMessage(m)) received.push_back({m.messageKind, m.senderProcessId,
                                                        std::string(slotText(m))});
    return true;
  });
  ASSERT_NE(window.handle(), nullptr);

  const std::string longArgument(300, 'L');
  const SecondStart second = runSecondStart(
      "\"" + name + "\" first \"C:\\My Clips\\take \\\"2\\\".mov\" " + longArgument,
      [&] { return received.size() >= 6; });
  ASSERT_EQ(second.exitCode, 0u);
  ASSERT_EQ(received.size(), 6u);
  const std::vector<std::pair<std::uint32_t, std::string>> expected = {
      {0, ""}, {1, ""}, {2, "first"}, {2, "C:\\My Clips\\take \"2\".mov"},
      {2, longArgument.substr(0, 260)}, {3, ""}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(received[i].kind, expected[i].first);
    EXPECT_EQ(received[i].text, expected[i].second);
    EXPECT_EQ(received[i].sender, second.processId);
  }
  ASSERT_FALSE(wakeUps.empty());
  EXPECT_EQ(wakeUps.front(), std::make_pair(WPARAM{0}, LPARAM{0}));
}

TEST(TMailSlot, TheHandlerBringsTheMainWindowToTheFrontOnce) {
  TMailSlot slot(testSlotName());
  ASSERT_TRUE(slot.owner());
  int fronts = 0;
  int otherMessages = 0;
  HWND main = nullptr;
  HiddenWindow window([&](HWND to, UINT message, WPARAM, LPARAM) {
    if (slot.HandleMessage(message, to, main, nullptr, [&] { ++fronts; })) return true;
    if (message == WM_USER) ++otherMessages;
    return false;
  });
  main = window.handle();
  ASSERT_NE(main, nullptr);
  SendMessageA(main, WM_USER, 0, 0);
  EXPECT_EQ(otherMessages, 1);

  const SecondStart second =
      runSecondStart("\"" + testSlotName() + "\" a b c", [&] { return fronts > 0; });
  EXPECT_EQ(second.exitCode, 0u);
  EXPECT_EQ(fronts, 1);
  DWORD count = 9, nextSize = 9;
  EXPECT_FALSE(slot.PendingInfo(count, nextSize));
  EXPECT_EQ(count + nextSize, 0u);
}

TEST(TMailSlot, AWaitingMessageOfTheWrongSizeStaysAndPendingInfoGivesUp) {
  TMailSlot slot(testSlotName());
  ASSERT_TRUE(slot.owner());
  HANDLE writer = CreateFileA(slot.slotPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  const char shortMessage[10] = "too short";
  DWORD put = 0;
  ASSERT_TRUE(WriteFile(writer, shortMessage, sizeof shortMessage, &put, nullptr));
  CloseHandle(writer);
  ASSERT_TRUE(slot.WriteSlotMessage(kSlotBringToFront, ""));

  DWORD count = 0, nextSize = 0;
  EXPECT_TRUE(slot.PendingInfo(count, nextSize));
  EXPECT_GE(count, 1u);
  EXPECT_EQ(nextSize, sizeof shortMessage);
  SlotMessage m{};
  EXPECT_FALSE(slot.ReadSlotMessage(m));
  int fronts = 0;
  EXPECT_TRUE(slot.HandleMessage(slot.messageId, nullptr, GetDesktopWindow(),
                                 GetDesktopWindow(), [&] { ++fronts; }));
  EXPECT_EQ(fronts, 0);
  DWORD next = 0;
  ASSERT_TRUE(GetMailslotInfo(slot.slotHandle, nullptr, &next, nullptr, nullptr));
  EXPECT_EQ(next, sizeof shortMessage);
}

}  // namespace
}  // namespace ringdeck::panel::win32
