// The settings image's section when another program took its name first, with a size that is
// not the engine's: the engine still gets a section of its own of the size it asked for, and
// the other program's object sees none of it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "memory_file.h"
#include "protocol.h"
#include "settings_image.h"
#include "settings_io.h"
#include "shared_section.h"

namespace ringdeck::engine::win32 {
namespace {

TEST(SharedImageName, TakenByAnotherObjectOfAnySizeTheEngineStillGetsItsOwnSection) {
  for (const DWORD squatSize : {DWORD{4096}, DWORD{1} << 22}) {
    SCOPED_TRACE(squatSize);
    HANDLE squat = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, squatSize,
                                      kSharedImageName);
    ASSERT_NE(squat, nullptr);
    auto* seen = static_cast<std::uint8_t*>(MapViewOfFile(squat, FILE_MAP_WRITE, 0, 0, 4096));
    ASSERT_NE(seen, nullptr);
    std::memset(seen, 0xA5, 4096);

    // Three sets, more than the smaller squatter holds.
    MemoryFileSystem files;
    const std::string path = "C:\\windows\\system32\\OrvanelRingDeck.pref";
    std::vector<SettingsRecord> sets(3);
    setName(sets[1], "one");
    setName(sets[2], "two");
    {
      auto file = files.open(path, OpenMode::ReadWriteOpenAlways);
      ASSERT_TRUE(writeSettingsFile(*file, sets));
    }
    NamedSectionFactory sections;
    SettingsImage image(files, sections, path);
    ASSERT_TRUE(image.load());
    ASSERT_EQ(image.recordCount(), 3u);
    EXPECT_EQ(fieldText(image.record(2).name), "two");
    // Nothing of the sets reached the other program's object, nor did its bytes reach the sets.
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(seen[i], 0xA5) << i;
    EXPECT_EQ(image.record(0).reserved0, 0u);

    UnmapViewOfFile(seen);
    CloseHandle(squat);
  }
}

}  // namespace
}  // namespace ringdeck::engine::win32
