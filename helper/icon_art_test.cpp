#include "icon_art.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace ringdeck::helper {
namespace {

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(IconArt, ResourceFilesAreWhatTheArtDraws) {
  const struct {
    int id;
    const char* file;
  } icons[] = {{101, "device.ico"}, {103, "device16.ico"}, {104, "device_crossed16.ico"}};
  for (const auto& icon : icons) {
    std::ifstream in(std::string(RINGDECK_HELPER_ICON_DIR) + "/" + icon.file, std::ios::binary);
    ASSERT_TRUE(in) << icon.file << ": run helper_make_icons helper/win32";
    const std::vector<std::uint8_t> stored{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(stored, helperIconFile(icon.id)) << icon.file << ": run helper_make_icons helper/win32";
  }
}

TEST(IconArt, IcoLayoutHoldsColourAndMaskOfEachSize) {
  const auto file = helperIconFile(101);
  ASSERT_GE(file.size(), 6u + 2 * 16);
  EXPECT_EQ(file[2], 1);  // type: icon
  EXPECT_EQ(file[4], 2);  // two images
  EXPECT_EQ(file[6], 32);
  EXPECT_EQ(file[6 + 16], 16);
  const std::uint32_t size32 = le32(file, 6 + 8), offset32 = le32(file, 6 + 12);
  EXPECT_EQ(size32, 40u + 32 * 32 * 4 + 4 * 32);
  EXPECT_EQ(le32(file, offset32 + 8), 64u);  // height of colour plus mask
  EXPECT_EQ(le32(file, 6 + 16 + 12), offset32 + size32);
  EXPECT_EQ(le32(file, 6 + 16 + 12) + le32(file, 6 + 16 + 8), file.size());
  EXPECT_TRUE(helperIconFile(102).empty());
}

TEST(IconArt, CrossedImageIsRedOnTheDiagonalAndCornersAreTransparent) {
  const IconImageData normal = drawDeviceIcon(16, false);
  const IconImageData crossed = drawDeviceIcon(16, true);
  const auto at = [](const IconImageData& img, int x, int y) { return img.argb[y * img.size + x]; };
  EXPECT_EQ(at(normal, 0, 0) >> 24, 0u);
  EXPECT_EQ(at(crossed, 15, 0) >> 24, 0u);
  const std::uint32_t red = at(crossed, 4, 4);
  EXPECT_GT((red >> 16) & 0xFF, 0xC0u);
  EXPECT_LT((red >> 8) & 0xFF, 0x40u);
  EXPECT_NE(at(normal, 4, 4), red);
}

}  // namespace
}  // namespace ringdeck::helper
