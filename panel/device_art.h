// The control panel's pictures, drawn in code so that the build makes them and no opaque binary
// is kept: the device (with its mask and the highlight of each control), the logo, the two about
// pictures and the window icon. make_panel_art writes them as .bmp and .ico files for the
// resources.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ringdeck::panel {

struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // 3 bytes (red, green, blue) per pixel, top row first
};

struct GreyPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> value;  // one byte per pixel, top row first
};

struct IconPicture {
  int size = 0;                     // width = height
  std::vector<std::uint32_t> argb;  // 0xAARRGGBB per pixel, top row first
};

inline constexpr int kLogoWidth = 271;
inline constexpr int kLogoHeight = 79;
inline constexpr int kAboutWidth = 539;
inline constexpr int kAboutHeight = 360;

// The colour around the device, also its bottom-left pixel (the key colour of a transparent
// picture).
inline constexpr std::uint8_t kDeviceBackground[3] = {236, 238, 241};

RgbPicture DrawDevicePicture();
// Each control in its mask value, everything else 0.
GreyPicture DrawDeviceMask();
// The part of the device picture under the control's highlight rectangle, with the control lit.
// control: 0..14 as in kDeviceControls; an empty picture for any other number.
RgbPicture DrawHighlightPicture(int control);
RgbPicture DrawLogo();
RgbPicture DrawAboutPicture();
RgbPicture DrawEasterEggPicture();
IconPicture DrawWindowIcon(int size);

std::vector<std::uint8_t> BmpFile(const RgbPicture& picture);   // 24 bits per pixel
std::vector<std::uint8_t> BmpFile(const GreyPicture& picture);  // 8 bits, grey palette
std::vector<std::uint8_t> IcoFile(std::span<const IconPicture> images);

struct ArtFile {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

// Every file of the panel's artwork: device.bmp, mask.bmp, highlight_00.bmp … highlight_14.bmp,
// logo.bmp, about.bmp, about2.bmp and panel.ico (16, 32 and 48 pixels).
std::vector<ArtFile> PanelArtFiles();

}  // namespace ringdeck::panel
