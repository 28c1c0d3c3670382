// The generated pictures go through Windows' own loaders: the mask as an 8-bit picture with its
// grey palette, whose values hit-test the controls; the device and highlight pictures at their
// sizes; the icon at each of its sizes.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "device_map.h"

namespace ringdeck::panel {
namespace {

HBITMAP loadBitmap(int id) {
  return static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

TEST(Win32PanelArt, MaskLoadsAsGreyEightBitPictureAndHitTestsTheControls) {
  const HBITMAP bmp = loadBitmap(11);
  ASSERT_NE(bmp, nullptr);
  DIBSECTION ds{};
  ASSERT_EQ(GetObjectA(bmp, sizeof ds, &ds), static_cast<int>(sizeof ds));
  EXPECT_EQ(ds.dsBm.bmWidth, kDevicePictureWidth);
  EXPECT_EQ(ds.dsBm.bmHeight, kDevicePictureHeight);
  ASSERT_EQ(ds.dsBm.bmBitsPixel, 8);

  const HDC dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ old = SelectObject(dc, bmp);
  RGBQUAD table[256] = {};
  EXPECT_EQ(GetDIBColorTable(dc, 0, 256, table), 256u);
  for (int v = 0; v < 256; ++v) {
    EXPECT_TRUE(table[v].rgbRed == v && table[v].rgbGreen == v && table[v].rgbBlue == v) << "entry " << v;
  }
  SelectObject(dc, old);
  DeleteDC(dc);

  // The section is stored bottom row first; the hit-test reads top row first.
  std::vector<std::uint8_t> mask(static_cast<std::size_t>(kDevicePictureWidth * kDevicePictureHeight));
  const auto* bits = static_cast<const std::uint8_t*>(ds.dsBm.bmBits);
  for (int y = 0; y < kDevicePictureHeight; ++y) {
    const std::uint8_t* row = bits + static_cast<std::size_t>(kDevicePictureHeight - 1 - y) * ds.dsBm.bmWidthBytes;
    std::copy(row, row + kDevicePictureWidth, mask.begin() + static_cast<std::ptrdiff_t>(y * kDevicePictureWidth));
  }
  const struct {
    int x, y, action;
  } clicks[] = {
      {168, 21, 0},  {191, 30, 1},   {211, 47, 2},   {225, 70, 3},   {138, 32, 4},
      {164, 34, 5},  {186, 49, 6},   {203, 68, 7},   {211, 93, 8},   {95, 87, 9},
      {146, 131, 10}, {79, 100, 11}, {139, 149, 12}, {146, 70, 13},  {147, 108, 15},
      {151, 31, -1}, {5, 240, -1},   {0, 0, -1},
  };
  for (const auto& c : clicks) {
    EXPECT_EQ(UserActionAtPicturePoint(mask.data(), c.x, c.y), c.action) << c.x << "," << c.y;
  }
  DeleteObject(bmp);
}

TEST(Win32PanelArt, PicturesLoadAtTheirSizes) {
  const struct {
    int id, width, height;
  } pictures[] = {{10, 270, 248}, {12, 54, 48}, {13, 539, 360}};
  for (const auto& p : pictures) {
    const HBITMAP bmp = loadBitmap(p.id);
    ASSERT_NE(bmp, nullptr) << p.id;
    BITMAP bm{};
    GetObjectA(bmp, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, p.width) << p.id;
    EXPECT_EQ(bm.bmHeight, p.height) << p.id;
    EXPECT_EQ(bm.bmBitsPixel, 24) << p.id;
    DeleteObject(bmp);
  }
}

TEST(Win32PanelArt, IconHasEachSize) {
  for (int size : {16, 32, 48}) {
    const HICON icon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info)) << size;
    BITMAP bm{};
    GetObjectA(info.hbmColor, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, size);
    EXPECT_EQ(bm.bmHeight, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}

}  // namespace
}  // namespace ringdeck::panel
