#include "device_art.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "device_map.h"

namespace ringdeck::panel {
namespace {

std::uint32_t le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b.at(at + static_cast<std::size_t>(i));
  return v;
}

// The parts of a .bmp file a resource loader relies on.
struct Bmp {
  std::int32_t width = 0, height = 0;
  int bits = 0;
  std::uint32_t paletteEntries = 0, dataOffset = 0;
  const std::vector<std::uint8_t>* bytes = nullptr;

  explicit Bmp(const std::vector<std::uint8_t>& b) : bytes(&b) {
    EXPECT_EQ(b.at(0), 'B');
    EXPECT_EQ(b.at(1), 'M');
    EXPECT_EQ(le(b, 2, 4), b.size());
    dataOffset = le(b, 10, 4);
    EXPECT_EQ(le(b, 14, 4), 40u);
    width = static_cast<std::int32_t>(le(b, 18, 4));
    height = static_cast<std::int32_t>(le(b, 22, 4));  // positive: bottom row first
    bits = static_cast<int>(le(b, 28, 2));
    EXPECT_EQ(le(b, 30, 4), 0u) << "uncompressed";
    paletteEntries = le(b, 46, 4);
  }
  std::size_t at(int x, int y) const {  // y counted from the top
    const std::size_t row = (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) / 8 + 3) / 4 * 4;
    return dataOffset + static_cast<std::size_t>(height - 1 - y) * row +
           static_cast<std::size_t>(x) * static_cast<std::size_t>(bits / 8);
  }
};

const RgbPicture& device() {
  static const RgbPicture picture = DrawDevicePicture();
  return picture;
}
const GreyPicture& mask() {
  static const GreyPicture picture = DrawDeviceMask();
  return picture;
}
std::uint8_t maskAt(int x, int y) { return mask().value[static_cast<std::size_t>(y * kDevicePictureWidth + x)]; }

TEST(DeviceArt, MaskPaintsEachControlInsideItsRegionAndHighlightOnly) {
  ASSERT_EQ(mask().width, kDevicePictureWidth);
  ASSERT_EQ(mask().height, kDevicePictureHeight);
  ASSERT_EQ(mask().value.size(), static_cast<std::size_t>(kDevicePictureWidth * kDevicePictureHeight));
  std::set<int> seen;
  for (int y = 0; y < kDevicePictureHeight; ++y) {
    for (int x = 0; x < kDevicePictureWidth; ++x) {
      const std::uint8_t v = maskAt(x, y);
      const int control = ControlForMaskValue(v);
      if (v == 0) {
        EXPECT_EQ(UserActionAtPicturePoint(mask().value.data(), x, y), -1);
        continue;
      }
      ASSERT_GE(control, 0) << "value " << int{v} << " at " << x << "," << y;
      const DeviceControl& c = kDeviceControls[static_cast<std::size_t>(control)];
      EXPECT_TRUE(x >= c.x.first && x <= c.x.last && y >= c.y.first && y <= c.y.last)
          << "value " << int{v} << " outside its region at " << x << "," << y;
      // The highlight shows the whole control, so it must lie within its rectangle.
      EXPECT_TRUE(x >= c.highlight.left && x < c.highlight.left + c.highlight.width &&
                  y >= c.highlight.top && y < c.highlight.top + c.highlight.height)
          << "value " << int{v} << " outside its highlight at " << x << "," << y;
      EXPECT_EQ(UserActionAtPicturePoint(mask().value.data(), x, y), c.userAction) << x << "," << y;
      seen.insert(control);
    }
  }
  for (int i = 0; i < kControlCount; ++i) EXPECT_TRUE(seen.contains(i)) << "control " << i << " not painted";
}

TEST(DeviceArt, ClicksOnTheDrawnControlsSelectThem) {
  const struct {
    int x, y, action;
    const char* where;
  } cases[] = {
      {168, 21, 0, "button 1"},         {191, 30, 1, "button 2"},      {211, 47, 2, "button 3"},
      {225, 70, 3, "button 4"},         {138, 32, 4, "button 5"},      {164, 34, 5, "button 6"},
      {186, 49, 6, "button 7"},         {203, 68, 7, "button 8"},      {211, 93, 8, "button 9"},
      {95, 87, 9, "button 10"},         {146, 131, 10, "button 11"},   {79, 100, 11, "button 12"},
      {139, 149, 12, "button 13"},      {146, 70, 13, "jog centre"},   {157, 59, 13, "jog dimple"},
      {146, 91, 13, "jog wall"},         {147, 108, 15, "ring front"},  {112, 80, 15, "ring left"},
      {182, 80, 15, "ring right"},      {147, 95, 15, "gap below jog"},
      {151, 31, -1, "between buttons"}, {65, 150, -1, "body"},         {5, 240, -1, "background"},
      {225, 185, -1, "wordmark"},       {186, 42, -1, "beside ring"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UserActionAtPicturePoint(mask().value.data(), c.x, c.y), c.action) << c.where;
  }
}

TEST(DeviceArt, HighlightLightsTheWholeControlAndMeetsThePictureWithoutSeam) {
  ASSERT_EQ(device().width, kDevicePictureWidth);
  ASSERT_EQ(device().height, kDevicePictureHeight);
  for (int i = 0; i < kControlCount; ++i) {
    const DeviceControl& c = kDeviceControls[static_cast<std::size_t>(i)];
    const PictureRect& r = c.highlight;
    const RgbPicture lit = DrawHighlightPicture(i);
    ASSERT_EQ(lit.width, r.width) << i;
    ASSERT_EQ(lit.height, r.height) << i;
    for (int y = 0; y < r.height; ++y) {
      for (int x = 0; x < r.width; ++x) {
        const std::size_t litAt = static_cast<std::size_t>((y * r.width + x) * 3);
        const std::size_t devAt = static_cast<std::size_t>(((r.top + y) * kDevicePictureWidth + r.left + x) * 3);
        const bool same = std::equal(lit.rgb.begin() + static_cast<std::ptrdiff_t>(litAt),
                                     lit.rgb.begin() + static_cast<std::ptrdiff_t>(litAt + 3),
                                     device().rgb.begin() + static_cast<std::ptrdiff_t>(devAt));
        if (x == 0 || y == 0 || x == r.width - 1 || y == r.height - 1) {
          EXPECT_TRUE(same) << "highlight " << i << " edge differs at " << x << "," << y;
        }
        if (maskAt(r.left + x, r.top + y) == c.maskValue) {
          EXPECT_FALSE(same) << "highlight " << i << " leaves its control unlit at " << x << "," << y;
        }
      }
    }
  }
  EXPECT_TRUE(DrawHighlightPicture(-1).rgb.empty());
  EXPECT_TRUE(DrawHighlightPicture(kControlCount).rgb.empty());
}

TEST(DeviceArt, FilesAreBitmapsOfTheirSizesAndTheMaskHasAGreyPalette) {
  const auto files = PanelArtFiles();
  const auto file = [&](const std::string& name) -> const std::vector<std::uint8_t>& {
    for (const ArtFile& f : files) {
      if (f.name == name) return f.bytes;
    }
    ADD_FAILURE() << name << " missing";
    static const std::vector<std::uint8_t> none(64, 0);
    return none;
  };
  const struct {
    const char* name;
    int width, height, bits;
  } pictures[] = {
      {"device.bmp", 270, 248, 24}, {"mask.bmp", 270, 248, 8},   {"logo.bmp", 271, 79, 24},
      {"about.bmp", 539, 360, 24},  {"about2.bmp", 539, 360, 24}, {"highlight_00.bmp", 25, 12, 24},
      {"highlight_13.bmp", 54, 48, 24}, {"highlight_14.bmp", 80, 76, 24},
  };
  for (const auto& p : pictures) {
    const Bmp bmp(file(p.name));
    EXPECT_EQ(bmp.width, p.width) << p.name;
    EXPECT_EQ(bmp.height, p.height) << p.name;
    EXPECT_EQ(bmp.bits, p.bits) << p.name;
  }
  for (int i = 0; i < kControlCount; ++i) {
    const std::string name = "highlight_" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".bmp";
    const Bmp bmp(file(name));
    EXPECT_EQ(bmp.width, kDeviceControls[static_cast<std::size_t>(i)].highlight.width) << name;
  }

  const std::vector<std::uint8_t>& maskFile = file("mask.bmp");
  const Bmp m(maskFile);
  ASSERT_EQ(m.paletteEntries, 256u);
  for (std::uint32_t v = 0; v < 256; ++v) {
    EXPECT_EQ(le(maskFile, 54 + v * 4, 4), v << 16 | v << 8 | v) << "palette entry " << v;
  }
  for (int y = 0; y < kDevicePictureHeight; ++y) {
    for (int x = 0; x < kDevicePictureWidth; ++x) {
      ASSERT_EQ(maskFile.at(m.at(x, y)), maskAt(x, y)) << x << "," << y;
    }
  }
  // Bottom-left pixel of the device picture, blue-green-red in the file.
  const std::vector<std::uint8_t>& deviceFile = file("device.bmp");
  const std::size_t corner = Bmp(deviceFile).at(0, kDevicePictureHeight - 1);
  EXPECT_EQ(deviceFile.at(corner + 2), kDeviceBackground[0]);
  EXPECT_EQ(deviceFile.at(corner + 1), kDeviceBackground[1]);
  EXPECT_EQ(deviceFile.at(corner), kDeviceBackground[2]);

  const std::vector<std::uint8_t>& ico = file("panel.ico");
  ASSERT_GE(ico.size(), 6u + 3 * 16);
  EXPECT_EQ(le(ico, 2, 2), 1u);  // icon
  EXPECT_EQ(le(ico, 4, 2), 3u);
  for (int i = 0; i < 3; ++i) {
    const std::size_t entry = 6 + static_cast<std::size_t>(i) * 16;
    EXPECT_EQ(ico.at(entry), (i + 1) * 16);
    EXPECT_LE(le(ico, entry + 8, 4) + le(ico, entry + 12, 4), ico.size());
  }
}

TEST(DeviceArt, BuiltFilesAreWhatTheCodeDraws) {
  for (const ArtFile& f : PanelArtFiles()) {
    std::ifstream in(std::string(RINGDECK_PANEL_ART_DIR) + "/" + f.name, std::ios::binary);
    ASSERT_TRUE(in) << f.name << ": build the panel_art target";
    const std::vector<std::uint8_t> stored{std::istreambuf_iterator<char>(in), {}};
    EXPECT_TRUE(stored == f.bytes) << f.name << " differs from what the code draws";
  }
}

}  // namespace
}  // namespace ringdeck::panel
