// Builds a window's controls from a DIALOGEX template of the program's resources, reading its
// numbers as pixels at 96 DPI (the layout is specified in pixels, not dialog units) and scaling
// them to the screen's DPI. The parent is an ordinary window of the program's own class, so its
// window procedure sees every notification.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ringdeck::panel::win32 {

struct TemplateLayout {
  std::string caption;
  int clientWidth = 0;   // scaled
  int clientHeight = 0;  // scaled
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string fontFace;
  int fontPoints = 8;
};

// Reads the template's own size and caption without creating anything; false when the
// resource is missing or malformed.
bool ReadTemplateLayout(HINSTANCE instance, int templateId, int dpi, TemplateLayout& layout);

// A place of the layout that is no control: a frame the window draws itself (an etched-frame
// static of the template), with its scaled rectangle.
struct TemplateFrame {
  int id;
  RECT rect;
};

// Creates every control of the template as a child of parent, scaled by dpi / 96, with the
// given font; etched-frame statics are not made but handed back in frames. False when the
// template is missing or malformed, or a control cannot be made.
bool CreateTemplateControls(HINSTANCE instance, int templateId, HWND parent, int dpi, HFONT font,
                            std::vector<TemplateFrame>* frames = nullptr);

// The layout's font at dpi, normal or bold.
HFONT CreateLayoutFont(const TemplateLayout& layout, int dpi, bool bold);

// Registers a window class for a form of the program: arrow cursor, dialog face colour.
bool RegisterFormClass(HINSTANCE instance, const char* name, WNDPROC proc, HICON icon = nullptr);

// The top-left corner that centres a window of this size on the desktop's work area.
POINT CentredOnDesktop(int width, int height);

// Pixels at 96 DPI to pixels at dpi.
inline int Scale(int pixels, int dpi) { return MulDiv(pixels, dpi, 96); }

// The DPI the windows are laid out for (the system's; the program is DPI aware).
int ScreenDpi();

}  // namespace ringdeck::panel::win32
