#include "Unit3.h"

#include <commdlg.h>

#include <algorithm>
#include <cstring>

#include "resource.h"
#include "template_layout.h"
#include "win32_log.h"

namespace ringdeck::panel::win32 {

TForm3::~TForm3() {
  if (hwnd_) DestroyWindow(hwnd_);
  if (font_) DeleteObject(font_);
}

bool TForm3::Create() {
  const int dpi = ScreenDpi();
  TemplateLayout layout;
  if (!ReadTemplateLayout(instance_, IDD_FORM3, dpi, layout)) return false;
  font_ = CreateLayoutFont(layout, dpi, false);
  if (!RegisterFormClass(instance_, kWindowClass, WindowProc)) return false;
  // A dialog border with only the close box; centred on the desktop.
  const DWORD style = (layout.style | WS_POPUP | WS_CAPTION | WS_SYSMENU) & ~WS_VISIBLE;
  const DWORD exStyle = layout.exStyle | WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
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
  if (!CreateTemplateControls(instance_, IDD_FORM3, hwnd_, dpi, font_)) return false;
  CheckRadioButton(hwnd_, IDC_EMPTYRADIO, IDC_COPYCURRENTRADIO, IDC_EMPTYRADIO);
  return true;
}

void TForm3::Show(const std::string& copyFromCaption) {
  SetDlgItemTextA(hwnd_, IDC_COPYCURRENTRADIO, copyFromCaption.c_str());
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(GetDlgItem(hwnd_, IDC_FORM3OK));
}

void TForm3::OKButtonClick() {
  copyMode = IsDlgButtonChecked(hwnd_, IDC_COPYGLOBALRADIO) == BST_CHECKED    ? CopyMode::CopyOfGlobal
             : IsDlgButtonChecked(hwnd_, IDC_COPYCURRENTRADIO) == BST_CHECKED ? CopyMode::CopyOfCurrent
                                                                               : CopyMode::Empty;
  ShowWindow(hwnd_, SW_HIDE);
  std::string filter = executableFilter;
  std::replace(filter.begin(), filter.end(), '|', '\0');
  filter += '\0';
  char file[MAX_PATH + 1] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = nullptr;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameA(&dialog)) {
    ShowWindow(hwnd_, SW_SHOW);  // cancelled: back to the choice
    SetForegroundWindow(hwnd_);
    return;
  }
  chosenFile = FileNameOf(file);
  if (onChosen) onChosen();
}

void TForm3::CancelButtonClick() {
  ShowWindow(hwnd_, SW_HIDE);
  SetDlgItemTextA(hwnd_, IDC_COPYCURRENTRADIO, copyFromText.c_str());
}

LRESULT CALLBACK TForm3::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<TForm3*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<TForm3*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (form) {
    switch (message) {
      case WM_COMMAND:
        if (LOWORD(wParam) == IDC_FORM3OK || LOWORD(wParam) == IDOK) form->OKButtonClick();
        else if (LOWORD(wParam) == IDC_FORM3CANCEL || LOWORD(wParam) == IDCANCEL) form->CancelButtonClick();
        return 0;
      case WM_CLOSE:  // hidden, never destroyed before the program ends
        form->CancelButtonClick();
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
