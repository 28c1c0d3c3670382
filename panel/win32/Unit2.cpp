#include "Unit2.h"

#include "Unit1.h"
#include "resource.h"
#include "template_layout.h"
#include "win32_log.h"

namespace ringdeck::panel::win32 {
namespace {

// The NT family names itself in the version line; everything else is 98 or Me.
bool platformIsNt() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&version)) return true;
#pragma GCC diagnostic pop
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace

TForm2::~TForm2() {
  if (hwnd_) DestroyWindow(hwnd_);
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(aboutImage_), static_cast<HGDIOBJ>(easterEgg_),
                         static_cast<HGDIOBJ>(font_), static_cast<HGDIOBJ>(boldFont_)})
    if (object) DeleteObject(object);
}

bool TForm2::Create() {
  dpi_ = ScreenDpi();
  TemplateLayout layout;
  if (!ReadTemplateLayout(instance_, IDD_FORM2, dpi_, layout)) return false;
  font_ = CreateLayoutFont(layout, dpi_, false);
  boldFont_ = CreateLayoutFont(layout, dpi_, true);
  if (!RegisterFormClass(instance_, kWindowClass, WindowProc)) return false;
  // A dialog border without border icons; stays on top; centred on the desktop.
  const DWORD style = (layout.style | WS_POPUP | WS_CAPTION) & ~(WS_VISIBLE | WS_SYSMENU);
  const DWORD exStyle = layout.exStyle | WS_EX_TOPMOST | WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT frame{0, 0, layout.clientWidth, layout.clientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const POINT at = CentredOnDesktop(width, height);
  hwnd_ = CreateWindowExA(exStyle, kWindowClass, layout.caption.c_str(), style, at.x, at.y, width,
                          height, nullptr, nullptr, instance_, this);
  if (!hwnd_) {
    ringdeck::win32::logLastError("CreateWindowExA");
    return false;
  }
  if (!CreateTemplateControls(instance_, IDD_FORM2, hwnd_, dpi_, font_)) return false;
  const int version = platformIsNt() ? IDC_SVERSIONNT : IDC_SVERSION9X;
  char text[128] = {};
  GetDlgItemTextA(hwnd_, version, text, sizeof text);
  SetDlgItemTextA(hwnd_, IDC_VERSIONSTRING, text);
  aboutImage_ = static_cast<HBITMAP>(LoadImageA(instance_, MAKEINTRESOURCEA(IDB_ABOUTIMAGE), IMAGE_BITMAP, 0, 0, 0));
  easterEgg_ = static_cast<HBITMAP>(LoadImageA(instance_, MAKEINTRESOURCEA(IDB_EASTEREGG), IMAGE_BITMAP, 0, 0, 0));
  SetPicturePainter(GetDlgItem(hwnd_, IDC_ABOUTIMAGE), PaintAbout, this);
  return true;
}

void TForm2::Show() {
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
}

void TForm2::PaintAbout(HWND picture, HDC dc, void* context) {
  auto* form = static_cast<TForm2*>(context);
  RECT client;
  GetClientRect(picture, &client);
  DrawBitmap(dc, form->egg_.shown() ? form->easterEgg_ : form->aboutImage_, client);
  if (form->egg_.shown()) return;
  // The version label is transparent over the picture: drawn here, "&&" shown as "&".
  char text[128] = {};
  GetDlgItemTextA(form->hwnd_, IDC_VERSIONSTRING, text, sizeof text);
  RECT label{Scale(8, form->dpi_), Scale(8, form->dpi_), client.right, Scale(40, form->dpi_)};
  HGDIOBJ old = SelectObject(dc, form->boldFont_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(40, 44, 52));  // the about picture is light
  DrawTextA(dc, text, -1, &label, DT_LEFT | DT_TOP | DT_SINGLELINE);
  SelectObject(dc, old);
}

void TForm2::AboutImageClick() {
  HWND picture = GetDlgItem(hwnd_, IDC_ABOUTIMAGE);
  POINT at;
  GetCursorPos(&at);
  ScreenToClient(picture, &at);
  RECT client;
  GetClientRect(picture, &client);
  if (egg_.Click(AboutQuadrant(at.x, at.y, client.right, client.bottom)))
    InvalidateRect(picture, nullptr, FALSE);
}

LRESULT CALLBACK TForm2::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<TForm2*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<TForm2*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (form) {
    switch (message) {
      case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CLOSEBUTTON || LOWORD(wParam) == IDCANCEL) ShowWindow(hwnd, SW_HIDE);
        else if (LOWORD(wParam) == IDC_ABOUTIMAGE && HIWORD(wParam) == STN_CLICKED) form->AboutImageClick();
        return 0;
      case WM_CLOSE:  // hidden, never destroyed before the program ends
        ShowWindow(hwnd, SW_HIDE);
        return 0;
      case WM_NCDESTROY:
        form->hwnd_ = nullptr;
        break;
      default: break;
    }
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace ringdeck::panel::win32
