// "-install" and "-remove" end to end under Wine: the "Run" entry of current Windows, and the
// service of NT 5.x (Wine told to report XP to the engine).
#include <gtest/gtest.h>

#include <windows.h>

#include "engine_setup.h"
#include "protocol.h"
#include "wine_support.h"

namespace ringdeck::wine {
namespace {

using namespace ringdeck::engine;

const std::string kEngine = windowsPath(RINGDECK_ENGINE_VIRTUAL);
const char* kExeName = "RingDeckEngineVirtual.exe";

std::optional<std::string> runValue() {
  char value[2048] = {};
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(value);
}

bool engineWindowExists() { return FindWindowA(kEngineWindowClass, nullptr) != nullptr; }

DWORD runSetup(const char* argument) {
  ChildProcess p;
  EXPECT_TRUE(p.start(kEngine, argument));
  // Generous: Wine starts a service slowly on a loaded machine.
  return p.wait(90000).value_or(0xDEAD);
}

class EngineSetup : public ::testing::Test {
 protected:
  void TearDown() override {
    // Whatever a failed test left behind must not outlive it.
    if (HWND w = FindWindowA(kEngineWindowClass, nullptr)) SendMessageA(w, WM_QUIT, 0, 0);
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS) {
      RegDeleteValueA(k, kRunValueName);
      RegCloseKey(k);
    }
  }
  MessageBoxWatcher boxes{kSetupCaption};
};

TEST_F(EngineSetup, RunEntryInstallStartsAndRemoveStopsWithoutAWord) {
  std::atomic<bool> helperQuit{false};
  {
    StandInWindow helper(kHelperWindowClass, "", [](UINT, WPARAM, LPARAM, LRESULT&) { return false; });
    EXPECT_EQ(runSetup("-install"), 0u);
    EXPECT_EQ(runValue(), "\"" + kEngine + "\" -run");
    EXPECT_TRUE(waitUntil(engineWindowExists, 10000));

    EXPECT_EQ(runSetup("-REMOVE"), 0u);
    EXPECT_FALSE(runValue());
    EXPECT_FALSE(engineWindowExists());
    // The helper was told to quit: its window's thread has ended, and the window with it.
    helperQuit = waitUntil([&] { return !IsWindow(helper.handle()); });
  }
  EXPECT_TRUE(helperQuit);
  Sleep(200);
  EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(EngineSetup, RemoveWhenNothingIsThereSaysSo) {
  EXPECT_EQ(runSetup("x -remove"), 0u);
  ASSERT_TRUE(boxes.waitForBoxes(2));
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{std::string(kMsgUnableToUnregister),
                                                     std::string(kMsgUnableToStop)}));
}

// Wine reports Windows XP to the engine alone while this fixture lives.
class EngineServiceSetup : public EngineSetup {
 protected:
  void SetUp() override {
    const std::string key = std::string("Software\\Wine\\AppDefaults\\") + kExeName;
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), "Version", REG_SZ, "winxp64", 8), ERROR_SUCCESS);
  }
  void TearDown() override {
    const std::string key = std::string("Software\\Wine\\AppDefaults\\") + kExeName;
    if (HWND w = FindWindowA(kEngineWindowClass, nullptr)) SendMessageA(w, WM_QUIT, 0, 0);
    SC_HANDLE m = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (SC_HANDLE s = OpenServiceA(m, kServiceName, SERVICE_ALL_ACCESS)) {
      SERVICE_STATUS st;
      ControlService(s, SERVICE_CONTROL_STOP, &st);
      DeleteService(s);
      CloseServiceHandle(s);
    }
    CloseServiceHandle(m);
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    EngineSetup::TearDown();
  }
};

TEST_F(EngineServiceSetup, ServiceInstallRunsTheEngineAndRemoveStopsAndDeletesIt) {
  EXPECT_EQ(runSetup("-install"), 0u);
  ASSERT_TRUE(boxes.waitForBoxes(1));
  EXPECT_EQ(boxes.texts()[0], kMsgRegistered);
  EXPECT_TRUE(waitUntil(engineWindowExists, 10000)) << "the service's window is not on this desktop";

  EXPECT_EQ(runSetup("-install"), 0u);  // already registered
  ASSERT_TRUE(boxes.waitForBoxes(2));
  EXPECT_EQ(boxes.texts()[1], kMsgUnableToRegister);

  EXPECT_EQ(runSetup("-remove"), 0u);
  ASSERT_TRUE(boxes.waitForBoxes(3));
  EXPECT_EQ(boxes.texts()[2], kMsgUnregistered);
  EXPECT_TRUE(waitUntil([] { return !engineWindowExists(); }, 5000));

  EXPECT_EQ(runSetup("-remove"), 0u);
  ASSERT_TRUE(boxes.waitForBoxes(4));
  EXPECT_EQ(boxes.texts()[3], kMsgRegistrationNotFound);
}

TEST_F(EngineServiceSetup, RunOutsideTheServiceControllerEndsWithZero) {
  // The dispatcher fails (error 1063) and the engine reports it to the event log.
  EXPECT_EQ(runSetup("-run"), 0u);
  EXPECT_FALSE(engineWindowExists());
}

}  // namespace
}  // namespace ringdeck::wine
