#include "app_key.h"

#include <gtest/gtest.h>

namespace ringdeck::helper {
namespace {

TEST(ApplicationKey, FoldsOnlyAsciiLettersAndMapsEmptyToStar) {
  struct Case {
    std::string_view target;
    std::string_view key;
  };
  const Case cases[] = {
      {"", "*"},
      {"*", "*"},
      {"notepad.exe", "NOTEPAD.EXE"},
      {"Vegas Pro.Exe", "VEGAS PRO.EXE"},
      {"\xe9" "dit\xe9" "ur.exe", "\xe9" "DIT\xe9" "UR.EXE"},  // bytes above 127 stay
      {"a{z}`~@[", "A{Z}`~@["},
  };
  for (const Case& c : cases) EXPECT_EQ(applicationKey(c.target), c.key) << c.target;
}

TEST(ApplicationKey, TargetFieldWithoutTerminatorGivesAll33Characters) {
  SettingsRecord r{};
  std::memset(r.targetApp, 'x', sizeof r.targetApp);
  EXPECT_EQ(applicationKey(r), std::string(33, 'X'));
}

TEST(ApplicationName, FirstExeOrModModuleCutTo31AndUpperCased) {
  struct Case {
    std::vector<std::string> modules;
    std::string name;
  };
  const Case cases[] = {
      {{"Notepad.exe", "ntdll.dll"}, "NOTEPAD.EXE"},
      {{"ntdll.dll", "player.MOD", "late.exe"}, "PLAYER.MOD"},
      {{"Tool.ExE"}, "TOOL.EXE"},
      {{"ntdll.dll", "kernel32.dll"}, ""},
      {{}, ""},
      {{".exe"}, ".EXE"},
      {{"exe", "a.exe.dll"}, ""},
      {{std::string(40, 'q') + ".exe"}, std::string(31, 'Q')},
      {{std::string(27, 'q') + ".exe"}, std::string(27, 'Q') + ".EXE"},  // exactly 31
  };
  for (const Case& c : cases) {
    EXPECT_EQ(applicationNameFromModules(c.modules), c.name)
        << (c.modules.empty() ? "" : c.modules[0]);
  }
}

}  // namespace
}  // namespace ringdeck::helper
