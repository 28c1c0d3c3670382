// The control panel started while another program holds its single-instance channel (a
// mailslot of the same name) and no control panel runs: it says so in a message box and ends,
// instead of handing over to nobody and ending without a word.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "Unit1.h"

namespace {

HWND findMessageBox() {
  struct Found {
    HWND box = nullptr;
  } found;
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        char cls[64] = {}, title[64] = {};
        GetClassNameA(w, cls, sizeof cls);
        GetWindowTextA(w, title, sizeof title);
        if (std::string(cls) == "#32770" && std::string(title) == "Orvanel RingDeck") {
          reinterpret_cast<Found*>(p)->box = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.box;
}

TEST(ControlPanelChannel, TakenByAnotherProgramGivesAClearMessage) {
  HANDLE squat = CreateMailslotA("\\\\.\\mailslot\\Once\\MailSlot\\RingDeck", 268, 0, nullptr);
  ASSERT_NE(squat, INVALID_HANDLE_VALUE) << "a control panel is running";

  std::string line = std::string("\"") + RINGDECK_PANEL_EXE + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION panel{};
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &panel));
  HWND box = nullptr;
  for (int i = 0; i < 300 && !box; ++i) {
    box = findMessageBox();
    if (!box) Sleep(50);
  }
  ASSERT_NE(box, nullptr) << "no message box within 15 s";
  char text[256] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  EXPECT_EQ(std::string(text),
            "The control panel cannot start: another program holds its channel "
            "\\\\.\\mailslot\\Once\\MailSlot\\RingDeck.");
  EXPECT_EQ(FindWindowA(ringdeck::panel::win32::TShuttleControlForm::kWindowClass, nullptr), nullptr);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  ASSERT_EQ(WaitForSingleObject(panel.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(panel.hProcess, &code);
  EXPECT_EQ(code, 1u);
  CloseHandle(panel.hThread);
  CloseHandle(panel.hProcess);
  CloseHandle(squat);
}

}  // namespace
