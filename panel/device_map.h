// Which control of the device picture a point belongs to. The mask picture paints every control in
// its own grey value; this table maps a value to the user action it selects, gives the area the
// control may be painted in and the rectangle of its highlight picture.
#pragma once

#include <array>
#include <cstdint>

namespace ringdeck::panel {

inline constexpr int kDevicePictureWidth = 270;
inline constexpr int kDevicePictureHeight = 248;

inline constexpr int kButtonControls = 13;
inline constexpr int kJogControl = 13;      // highlight index of the jog wheel
inline constexpr int kShuttleControl = 14;  // highlight index of the shuttle ring
inline constexpr int kControlCount = 15;

struct PixelRange {  // inclusive
  int first;
  int last;
};

struct PictureRect {
  int left;
  int top;
  int width;
  int height;
};

struct DeviceControl {
  std::uint8_t maskValue;
  int userAction;     // position in the user action list
  PixelRange x;       // where the control may be painted, inclusive
  PixelRange y;
  PictureRect highlight;
};

// Index = highlight index: buttons 1..13, then the jog wheel and the shuttle ring.
inline constexpr std::array<DeviceControl, kControlCount> kDeviceControls{{
    {255, 0, {158, 178}, {17, 25}, {157, 16, 25, 12}},
    {254, 1, {182, 200}, {24, 36}, {181, 23, 24, 17}},
    {253, 2, {204, 219}, {40, 54}, {202, 40, 21, 18}},
    {247, 3, {219, 232}, {62, 77}, {217, 60, 19, 21}},
    {252, 4, {128, 148}, {28, 35}, {127, 28, 25, 12}},
    {251, 5, {153, 175}, {28, 40}, {153, 27, 25, 16}},
    {250, 6, {176, 196}, {40, 56}, {176, 41, 23, 19}},
    {249, 7, {193, 212}, {58, 76}, {193, 58, 22, 22}},
    {248, 8, {201, 218}, {81, 104}, {203, 81, 18, 25}},
    {202, 9, {90, 100}, {76, 99}, {89, 73, 14, 33}},
    {204, 10, {129, 164}, {127, 135}, {129, 126, 41, 14}},
    {201, 11, {75, 84}, {90, 111}, {74, 87, 15, 29}},
    {203, 12, {123, 156}, {143, 155}, {120, 141, 39, 18}},
    {209, 13, {121, 171}, {46, 92}, {120, 48, 54, 48}},     // "Jog Left"
    {219, 15, {108, 185}, {44, 118}, {107, 44, 80, 76}},    // "Shuttle in Left 7"
}};

// The user action a mask value selects, or -1 when it selects nothing (the background is 0).
int UserActionForMaskValue(std::uint8_t value);

// The control (index into kDeviceControls) a mask value stands for, or -1.
int ControlForMaskValue(std::uint8_t value);

// The user action under a point of the picture. mask holds the 8-bit mask, top row first,
// kDevicePictureWidth × kDevicePictureHeight; a point outside the picture selects nothing (-1).
int UserActionAtPicturePoint(const std::uint8_t* mask, int x, int y);

}  // namespace ringdeck::panel
