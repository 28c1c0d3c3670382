#include "Unit1.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "Unit2.h"
#include "device_map.h"
#include "resource.h"
#include "settings_report.h"
#include "template_layout.h"
#include "win32_keyboard_layout.h"
#include "win32_log.h"

namespace ringdeck::panel::win32 {
namespace {

using ringdeck::win32::logLastError;

// The low-level hook procedure has no context argument: this is the one window it serves.
TShuttleControlForm* g_hookForm = nullptr;

constexpr int kHighlightCount = 15;
constexpr int kModifierButtonFirst = IDC_MODIFIERBUTTON1;

std::string windowText(HWND window) {
  const int n = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  GetWindowTextA(window, text.data(), n + 1);
  text.resize(static_cast<std::size_t>(std::max(0, n)));
  return text;
}

void setWindowTextIfChanged(HWND window, const std::string& text) {
  if (windowText(window) != text) SetWindowTextA(window, text.c_str());
}

std::string menuText(HMENU menu, UINT id) {
  char text[256] = {};
  GetMenuStringA(menu, id, text, sizeof text, MF_BYCOMMAND);
  return text;
}

// The folder of this program, without the trailing separator.
std::string programFolder() {
  char path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, n < MAX_PATH ? n : 0);
  const std::size_t slash = folder.find_last_of('\\');
  return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

// A file dialog filter is written with "|" in the layout; the dialog wants NUL separators.
std::string dialogFilter(std::string text) {
  std::replace(text.begin(), text.end(), '|', '\0');
  return text + '\0';
}

struct PictureData {
  HBITMAP bitmap = nullptr;
  PicturePainter painter = nullptr;
  void* context = nullptr;
};

LRESULT CALLBACK pictureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* data = reinterpret_cast<PictureData*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new PictureData));
      break;
    case WM_NCDESTROY:
      delete data;
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      break;
    case WM_ERASEBKGND: return 1;  // the picture covers all of it
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT client;
      GetClientRect(hwnd, &client);
      if (data && data->painter) data->painter(hwnd, dc, data->context);
      else if (data && data->bitmap) DrawBitmap(dc, data->bitmap, client);
      else FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
      SendMessageA(GetParent(hwnd), WM_COMMAND,
                   MAKEWPARAM(GetDlgCtrlID(hwnd), STN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
      return 0;
    default: break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

bool RegisterPictureClass(HINSTANCE instance) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = pictureProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_HAND);
  wc.lpszClassName = kPictureClass;
  if (!RegisterClassA(&wc)) {
    logLastError("RegisterClassA");
    return false;
  }
  return true;
}

void SetPictureBitmap(HWND picture, HBITMAP bitmap) {
  if (auto* data = reinterpret_cast<PictureData*>(GetWindowLongPtrA(picture, GWLP_USERDATA))) {
    data->bitmap = bitmap;
    InvalidateRect(picture, nullptr, FALSE);
  }
}

void SetPicturePainter(HWND picture, PicturePainter painter, void* context) {
  if (auto* data = reinterpret_cast<PictureData*>(GetWindowLongPtrA(picture, GWLP_USERDATA))) {
    data->painter = painter;
    data->context = context;
    InvalidateRect(picture, nullptr, FALSE);
  }
}

void DrawBitmap(HDC dc, HBITMAP bitmap, const RECT& rect) {
  BITMAP info{};
  if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) return;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, bitmap);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width == info.bmWidth && height == info.bmHeight) {
    BitBlt(dc, rect.left, rect.top, width, height, source, 0, 0, SRCCOPY);
  } else {
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, rect.left, rect.top, width, height, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
  }
  SelectObject(source, old);
  DeleteDC(source);
}

// --- WindowCaptions ---------------------------------------------------------------------------

std::string WindowCaptions::caption(EditorCaption which) const {
  auto label = [this](int id) { return windowText(GetDlgItem(window, id)); };
  auto response = [this](int position) { return menuText(responsePopup, IDM_RESPONSE_DONOTHING + position); };
  switch (which) {
    case EditorCaption::NumPad: return label(IDC_SNUMPAD);
    case EditorCaption::FunctionKey: return label(IDC_SFUNCTIONKEY);
    case EditorCaption::None: return label(IDC_SNONE);
    case EditorCaption::GlobalSettings: return label(IDC_SGLOBALSETTINGS);
    case EditorCaption::ControlButton: return label(kModifierButtonFirst + kControlButton);
    case EditorCaption::AltButton: return label(kModifierButtonFirst + kAltButton);
    case EditorCaption::WinButton: return label(kModifierButtonFirst + kWinButton);
    case EditorCaption::ShiftButton: return label(kModifierButtonFirst + kShiftButton);
    case EditorCaption::DoNothing: return response(0);
    case EditorCaption::SameAsLower: return response(1);
    case EditorCaption::TypeKeystroke: return response(2);
    case EditorCaption::PressModifierKeys: return response(3);
    case EditorCaption::WheelUp: return response(4);
    case EditorCaption::WheelDown: return response(5);
    case EditorCaption::OpenItem: return label(IDC_SOPENITEM);
    case EditorCaption::WheelLeft: return label(IDC_SWHEELLEFT);
    case EditorCaption::WheelRight: return label(IDC_SWHEELRIGHT);
    case EditorCaption::OtherResponse: return label(IDC_SOTHERRESPONSE);
  }
  return {};
}

std::string WindowCaptions::keyMenuCaption(std::uint8_t keyCode) const {
  const auto at = std::find(ManualKeyTable.begin(), ManualKeyTable.end(), keyCode);
  if (at == ManualKeyTable.end()) return {};
  return menuText(manualKeySelection, IDM_MANUALKEY0 + static_cast<UINT>(at - ManualKeyTable.begin()));
}

// --- TShuttleControlForm ----------------------------------------------------------------------

TShuttleControlForm::TShuttleControlForm(HINSTANCE instance) : instance_(instance) {}

TShuttleControlForm::~TShuttleControlForm() {
  if (keyboardHook_) UnhookWindowsHookEx(keyboardHook_);
  if (g_hookForm == this) g_hookForm = nullptr;
  if (hwnd_) DestroyWindow(hwnd_);
  for (HMENU menu : {responseMenu_, manualKeyMenu_, targetAppMenu_})
    if (menu) DestroyMenu(menu);
  for (HBITMAP bitmap : highlights_)
    if (bitmap) DeleteObject(bitmap);
  for (HBITMAP bitmap : {device_, logo_})
    if (bitmap) DeleteObject(bitmap);
  for (HFONT font : {font_, boldFont_})
    if (font) DeleteObject(font);
}

bool TShuttleControlForm::Create(TForm2* about) {
  about_ = about;
  dpi_ = ScreenDpi();
  TemplateLayout layout;
  if (!ReadTemplateLayout(instance_, IDD_SHUTTLECONTROLFORM, dpi_, layout)) return false;

  font_ = CreateLayoutFont(layout, dpi_, false);
  boldFont_ = CreateLayoutFont(layout, dpi_, true);
  if (!RegisterFormClass(instance_, kWindowClass, WindowProc, LoadIconA(instance_, MAKEINTRESOURCEA(IDI_PANEL))))
    return false;
  mainMenu_ = LoadMenuA(instance_, MAKEINTRESOURCEA(IDR_MAINMENU));
  responseMenu_ = LoadMenuA(instance_, MAKEINTRESOURCEA(IDR_RESPONSEPOPUP));
  manualKeyMenu_ = LoadMenuA(instance_, MAKEINTRESOURCEA(IDR_MANUALKEYSELECTION));
  targetAppMenu_ = LoadMenuA(instance_, MAKEINTRESOURCEA(IDR_TARGETAPPPOPUP));
  if (!mainMenu_ || !responseMenu_ || !manualKeyMenu_ || !targetAppMenu_) {
    logLastError("LoadMenuA");
    return false;
  }

  // Fixed single border, system menu and minimise box only; centred on the desktop.
  const DWORD style = (layout.style | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN) & ~(WS_VISIBLE | WS_THICKFRAME | WS_MAXIMIZEBOX);
  const DWORD exStyle = WS_EX_CONTROLPARENT;
  RECT frame{0, 0, layout.clientWidth, layout.clientHeight};
  AdjustWindowRectEx(&frame, style, TRUE, exStyle);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const POINT at = CentredOnDesktop(width, height);
  hwnd_ = CreateWindowExA(exStyle, kWindowClass, layout.caption.c_str(), style, at.x, at.y, width,
                          height, nullptr, mainMenu_, instance_, this);
  if (!hwnd_) {
    logLastError("CreateWindowExA");
    return false;
  }
  // The menu bar may take another height than AdjustWindowRectEx assumed (it wraps, or the
  // theme differs): make the client area exactly the layout's.
  RECT client;
  GetClientRect(hwnd_, &client);
  if (client.right != layout.clientWidth || client.bottom != layout.clientHeight) {
    SetWindowPos(hwnd_, nullptr, 0, 0, width + layout.clientWidth - client.right,
                 height + layout.clientHeight - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return true;
}

void TShuttleControlForm::Show(int showCommand) {
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  SetFocus(Item(IDC_USERACTIONBOX));
}

bool TShuttleControlForm::PreTranslate(MSG& msg) {
  return hwnd_ && IsDialogMessageA(hwnd_, &msg);
}

std::string TShuttleControlForm::LabelText(int id) const { return windowText(Item(id)); }

LRESULT CALLBACK TShuttleControlForm::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<TShuttleControlForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<TShuttleControlForm*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!form) return DefWindowProcA(hwnd, message, wParam, lParam);
  return form->HandleMessage(message, wParam, lParam);
}

LRESULT TShuttleControlForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (channelHandler_ && channelHandler_(message, hwnd_)) return 0;
  switch (message) {
    case WM_CREATE: return OnCreate() ? 0 : -1;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_NOTIFY: return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_PAINT: {
      // The panels' frames: drawn here, under the controls, so that no frame ever paints over one.
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      for (TemplateFrame& frame : frames_) DrawEdge(dc, &frame.rect, EDGE_ETCHED, BF_RECT);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_CLOSE:
      if (ControlFormOnCloseQuery()) DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      ControlFormOnClose();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return 0;
    default: break;
  }
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

bool TShuttleControlForm::OnCreate() {
  if (!CreateTemplateControls(instance_, IDD_SHUTTLECONTROLFORM, hwnd_, dpi_, font_, &frames_)) return false;
  captions_.window = hwnd_;
  captions_.responsePopup = responseMenu_;
  captions_.manualKeySelection = manualKeyMenu_;

  keyboardHook_ = SetWindowsHookExA(WH_KEYBOARD_LL, KeyboardHookProc, instance_, 0);
  if (!keyboardHook_) logLastError("SetWindowsHookExA");
  g_hookForm = this;

  layoutChars_.fill(Win32KeyboardLayout());

  SetBoldFonts();
  LoadPictures();
  AddHints();

  HWND userActions = Item(IDC_USERACTIONBOX);
  for (std::size_t p = 0; p < kUserActionCount; ++p)
    SendMessageA(userActions, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(UserActionCaption(p).c_str()));
  SendMessageA(userActions, CB_SETMINVISIBLE, 19, 0);
  HWND frequencies = Item(IDC_FREQUENCYBOX);
  for (int p = 0; p < kFrequencyItemCount; ++p) {
    char item[64] = {};
    LoadStringA(instance_, IDS_FREQUENCY0 + p, item, sizeof item);
    SendMessageA(frequencies, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
  SendMessageA(frequencies, CB_SETMINVISIBLE, kFrequencyItemCount, 0);
  SendMessageA(Item(IDC_COMMENTBOX), EM_LIMITTEXT, sizeof(ActionSlot::comment) - 1, 0);
  SendMessageA(Item(IDC_WHEELBOX), EM_LIMITTEXT, 6, 0);
  SendMessageA(Item(IDC_WHEELUD), UDM_SETRANGE32, 0, 1000);

  HWND keystrokeBox = Item(IDC_KEYSTROKEBOX);
  SetWindowLongPtrA(keystrokeBox, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  keystrokeBoxDefault_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(keystrokeBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(KeystrokeBoxProc)));

  settingsPath_ = ringdeck::win32::systemDirectory() + "\\OrvanelRingDeck.pref";
  LoadSettingsAtStart();
  editor_.ShowUserAction(0);
  Render();
  return true;
}

void TShuttleControlForm::SetBoldFonts() {
  for (int id : {IDC_TARGETAPPLABEL, IDC_USERACTIONLABEL, IDC_RESPONSELABEL, IDC_KEYSTROKELABEL,
                 IDC_MODIFIERLABEL, IDC_FREQUENCYLABEL, IDC_WHEELLABEL, IDC_COMMENTLABEL,
                 IDC_OKBUTTON, IDC_UNDOBUTTON, IDC_SPEEDBUTTON1})
    SendMessageA(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), FALSE);
}

void TShuttleControlForm::LoadPictures() {
  auto load = [this](int id, UINT flags) {
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(instance_, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, flags));
    if (!bitmap) logLastError("LoadImageA");
    return bitmap;
  };
  device_ = load(IDB_SHUTTLEIMAGE, 0);
  logo_ = load(IDB_ORVANELLOGO, 0);
  for (int i = 0; i < kHighlightCount; ++i) highlights_[static_cast<std::size_t>(i)] = load(IDB_HIGHLIGHT0 + i, 0);

  // The mask is read pixel by pixel: kept as the 8-bit values, top row first.
  mask_ = load(IDB_SHUTTLEIMAGEMASK, LR_CREATEDIBSECTION);
  DIBSECTION dib{};
  if (mask_ && GetObjectA(mask_, sizeof dib, &dib) == sizeof dib && dib.dsBm.bmBitsPixel == 8 &&
      dib.dsBm.bmWidth == kDevicePictureWidth && dib.dsBm.bmHeight == kDevicePictureHeight) {
    maskPixels_.resize(static_cast<std::size_t>(kDevicePictureWidth) * kDevicePictureHeight);
    const auto* bits = static_cast<const BYTE*>(dib.dsBm.bmBits);
    const bool bottomUp = dib.dsBmih.biHeight > 0;
    for (int y = 0; y < kDevicePictureHeight; ++y) {
      const BYTE* row = bits + static_cast<std::ptrdiff_t>(bottomUp ? kDevicePictureHeight - 1 - y : y) * dib.dsBm.bmWidthBytes;
      std::copy(row, row + kDevicePictureWidth, maskPixels_.begin() + static_cast<std::ptrdiff_t>(y) * kDevicePictureWidth);
    }
  } else {
    logLastError("GetObjectA(mask)");
  }
  if (mask_) DeleteObject(mask_);
  mask_ = nullptr;

  SetPicturePainter(Item(IDC_SHUTTLEIMAGE), PaintPicture, this);
  SetPictureBitmap(Item(IDC_ORVANELLOGO), logo_);
}

void TShuttleControlForm::PaintPicture(HWND picture, HDC dc, void* context) {
  auto* form = static_cast<TShuttleControlForm*>(context);
  RECT client;
  GetClientRect(picture, &client);
  // Drawn off screen and copied in one go, so a new highlight never flickers.
  HDC buffer = CreateCompatibleDC(dc);
  HBITMAP surface = CreateCompatibleBitmap(dc, client.right, client.bottom);
  HGDIOBJ old = SelectObject(buffer, surface);
  DrawBitmap(buffer, form->device_, client);
  const int h = form->editor_.view.shownOverlay;
  if (h >= 0 && h < kHighlightCount) {
    const PictureRect& r = kDeviceControls[static_cast<std::size_t>(h)].highlight;
    const RECT at{Scale(r.left, form->dpi_), Scale(r.top, form->dpi_), Scale(r.left + r.width, form->dpi_),
                  Scale(r.top + r.height, form->dpi_)};
    DrawBitmap(buffer, form->highlights_[static_cast<std::size_t>(h)], at);
  }
  BitBlt(dc, 0, 0, client.right, client.bottom, buffer, 0, 0, SRCCOPY);
  SelectObject(buffer, old);
  DeleteObject(surface);
  DeleteDC(buffer);
}

void TShuttleControlForm::AddHints() {
  tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                             nullptr, instance_, nullptr);
  if (!tooltip_) return;
  SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, Scale(300, dpi_));
  for (int id : {IDC_SPEEDBUTTON2, IDC_SHUTTLEIMAGE, IDC_SPEEDBUTTON3, IDC_ISTANTRELEASECHECKBOX,
                 IDC_OKBUTTON, IDC_UNDOBUTTON, IDC_SPEEDBUTTON1}) {
    char hint[256] = {};
    if (!LoadStringA(instance_, IDS_HINT_BASE + id, hint, sizeof hint)) continue;
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(id));
    tool.lpszText = hint;
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void TShuttleControlForm::LoadSettingsAtStart() {
  const std::string global = LabelText(IDC_SGLOBALSETTINGS);
  if (!store_.LoadSettingsFile(settingsPath_, global)) {
    // The window needs at least the global set: it opens on an empty one and says so. A later
    // save writes the file anew if it can.
    store_.UseEmptyGlobalSet(global);
    const std::string text = LabelText(IDC_SCANNOTOPENSETTINGS) + "\n\n" + LabelText(IDC_SSETTINGSREPAIRED);
    MessageBoxA(nullptr, text.c_str(), LabelText(IDC_SINTERNALERROR).c_str(), 0);
  }
  FillTargetAppBox();
}

void TShuttleControlForm::FillTargetAppBox() {
  HWND box = Item(IDC_TARGETAPPBOX);
  SendMessageA(box, CB_RESETCONTENT, 0, 0);
  for (const std::string& entry : store_.TargetAppBoxEntries())
    SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
}

void TShuttleControlForm::Render() {
  rendering_ = true;
  const EditorView& v = editor_.view;
  auto show = [this](int id, bool shown) { ShowWindow(Item(id), shown ? SW_SHOWNA : SW_HIDE); };
  auto enable = [this](int id, bool enabled) { EnableWindow(Item(id), enabled ? TRUE : FALSE); };

  SendMessageA(Item(IDC_TARGETAPPBOX), CB_SETCURSEL, static_cast<WPARAM>(v.targetAppSet), 0);
  InvalidateRect(Item(IDC_TARGETAPPBOX), nullptr, TRUE);  // Wine left it unpainted otherwise
  SendMessageA(Item(IDC_USERACTIONBOX), CB_SETCURSEL, static_cast<WPARAM>(v.userAction), 0);
  setWindowTextIfChanged(Item(IDC_RESPONSEBUTTON), v.responseCaption);

  for (int id : {IDC_KEYSTROKELABEL, IDC_KEYSTROKEBOX, IDC_SPEEDBUTTON3}) show(id, v.keystrokeShown);
  show(IDC_MODIFIERLABEL, v.modifiersShown);
  for (int b = 0; b < kModifierButtonCount; ++b) {
    show(kModifierButtonFirst + b, v.modifiersShown);
    SendMessageA(Item(kModifierButtonFirst + b), BM_SETCHECK, v.modifierDown[static_cast<std::size_t>(b)] ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  show(IDC_FREQUENCYLABEL, v.frequencyShown);
  show(IDC_FREQUENCYBOX, v.frequencyShown);
  enable(IDC_FREQUENCYLABEL, v.frequencyEnabled);
  enable(IDC_FREQUENCYBOX, v.frequencyEnabled);
  SendMessageA(Item(IDC_FREQUENCYBOX), CB_SETCURSEL, static_cast<WPARAM>(v.frequency), 0);
  show(IDC_ISTANTRELEASECHECKBOX, v.syncReleaseShown);
  enable(IDC_ISTANTRELEASECHECKBOX, v.syncReleaseEnabled);
  SendMessageA(Item(IDC_ISTANTRELEASECHECKBOX), BM_SETCHECK, v.syncRelease ? BST_CHECKED : BST_UNCHECKED, 0);
  for (int id : {IDC_WHEELLABEL, IDC_WHEELBOX, IDC_WHEELUD}) show(id, v.wheelShown);
  setWindowTextIfChanged(Item(IDC_WHEELBOX), v.wheelText);
  setWindowTextIfChanged(Item(IDC_COMMENTBOX), v.comment);
  enable(IDC_COMMENTBOX, v.commentEnabled);
  EnableMenuItem(GetSubMenu(responseMenu_, 0), IDM_RESPONSE_DONOTHING + 1,
                 MF_BYCOMMAND | (v.sameAsLowerEnabled ? MF_ENABLED : MF_GRAYED));
  RenderKeystrokeBox();
  if (v.shownOverlay != shownHighlight_) {
    shownHighlight_ = v.shownOverlay;
    InvalidateRect(Item(IDC_SHUTTLEIMAGE), nullptr, FALSE);
  }
  RefreshSettingsStatus();
  rendering_ = false;
}

void TShuttleControlForm::RenderKeystrokeBox() {
  const EditorView& v = editor_.view;
  setWindowTextIfChanged(Item(IDC_KEYSTROKEBOX), v.keystrokeText);
  EnableWindow(Item(IDC_FREQUENCYLABEL), v.frequencyEnabled);
  EnableWindow(Item(IDC_FREQUENCYBOX), v.frequencyEnabled);
  EnableWindow(Item(IDC_ISTANTRELEASECHECKBOX), v.syncReleaseEnabled);
}

void TShuttleControlForm::RefreshSettingsStatus() {
  const SettingsStatus status = ::ringdeck::panel::RefreshSettingsStatus(store_);
  const int shown = status.indicator == FactoryState::Factory      ? IDC_FACTORYSETTINGSLABEL
                    : status.indicator == FactoryState::Changed ? IDC_CUSTOMIZEDSETTINGSLABEL
                                                                   : IDC_NOINFOONSETTINGSLABEL;
  for (int id : {IDC_CUSTOMIZEDSETTINGSLABEL, IDC_FACTORYSETTINGSLABEL, IDC_NOINFOONSETTINGSLABEL})
    ShowWindow(Item(id), id == shown ? SW_SHOWNA : SW_HIDE);
}

void TShuttleControlForm::OnCommand(int id, int notification, HWND control) {
  (void)control;
  if (id >= IDM_RESPONSE_DONOTHING && id <= IDM_RESPONSE_DONOTHING + 5) {
    ResponsePopupChoice(static_cast<ResponseChoice>(id - IDM_RESPONSE_DONOTHING));
    return;
  }
  if (id >= kModifierButtonFirst && id < kModifierButtonFirst + kModifierButtonCount) {
    if (notification == BN_CLICKED)
      editor_.view.modifierDown[static_cast<std::size_t>(id - kModifierButtonFirst)] =
          SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    return;
  }
  switch (id) {
    case IDC_RESPONSEBUTTON: if (notification == BN_CLICKED) ResponseButtonClick(); break;
    case IDC_SPEEDBUTTON3: if (notification == BN_CLICKED) ManualKeyImageClick(); break;
    case IDC_SPEEDBUTTON2: if (notification == BN_CLICKED) SpeedButton2Click(); break;
    case IDC_KEYSTROKEBOX:
      if (notification == EN_SETFOCUS) KeystrokeBoxEnter();
      else if (notification == EN_KILLFOCUS) KeystrokeBoxExit();
      break;
    case IDC_USERACTIONBOX: if (notification == CBN_SELCHANGE) UserActionBoxChange(); break;
    case IDC_TARGETAPPBOX: if (notification == CBN_SELCHANGE) TargetAppOnClick(); break;
    case IDC_FREQUENCYBOX:
      if (notification == CBN_SELCHANGE)
        editor_.view.frequency = static_cast<int>(SendMessageA(Item(id), CB_GETCURSEL, 0, 0));
      break;
    case IDC_ISTANTRELEASECHECKBOX:
      if (notification == BN_CLICKED)
        editor_.view.syncRelease = SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
      break;
    case IDC_WHEELBOX:
      if (notification == EN_CHANGE && !rendering_) editor_.view.wheelText = windowText(Item(id));
      break;
    case IDC_COMMENTBOX:
      if (notification == EN_CHANGE && !rendering_) editor_.view.comment = windowText(Item(id));
      break;
    case IDC_SHUTTLEIMAGE: if (notification == STN_CLICKED) ShuttleImageOnClick(); break;
    case IDC_ORVANELLOGO: if (notification == STN_CLICKED) ShowAboutBox(); break;
    case IDC_OKBUTTON:
    case IDM_QUIT: OKButtonClick(); break;
    case IDC_UNDOBUTTON: UndoButtonClick(); break;
    case IDC_SPEEDBUTTON1: SpeedButton1Click(); break;
    case IDM_QUITWITHOUTSAVING: Quitwithoutsaving1Click(); break;
    case IDM_HELP: OrvanelRingDeckHelp1Click(); break;
    case IDM_ABOUT: ShowAboutBox(); break;
    case IDM_EXPORTSETTINGSINFO: ExportAsText(); break;
    default: break;
  }
}

LRESULT TShuttleControlForm::OnNotify(const NMHDR& header) {
  if (header.idFrom == IDC_WHEELUD && header.code == UDN_DELTAPOS) {
    const auto& change = reinterpret_cast<const NMUPDOWN&>(header);
    WheelUDClick(change.iDelta > 0);
    return 1;  // the arrows' own position is not used
  }
  return 0;
}

void TShuttleControlForm::ResponseButtonClick() {
  POINT at;
  GetCursorPos(&at);
  const int command = static_cast<int>(TrackPopupMenu(GetSubMenu(responseMenu_, 0),
                                                      TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD,
                                                      at.x, at.y, 0, hwnd_, nullptr));
  if (command >= IDM_RESPONSE_DONOTHING && command <= IDM_RESPONSE_DONOTHING + 5)
    ResponsePopupChoice(static_cast<ResponseChoice>(command - IDM_RESPONSE_DONOTHING));
}

void TShuttleControlForm::ResponsePopupChoice(ResponseChoice choice) {
  editor_.ChooseResponse(choice);
  Render();
}

void TShuttleControlForm::ManualKeyImageClick() {
  POINT at;
  GetCursorPos(&at);
  const int command = static_cast<int>(TrackPopupMenu(GetSubMenu(manualKeyMenu_, 0),
                                                      TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD,
                                                      at.x, at.y, 0, hwnd_, nullptr));
  int group = 0, position = 0;
  if (!ManualKeyEntryOf(command - IDM_MANUALKEY0, group, position)) return;
  editor_.SelectManualKey(group, position);
  RenderKeystrokeBox();
}

void TShuttleControlForm::KeystrokeBoxEnter() {
  EnableMenuItem(mainMenu_, 0, MF_BYPOSITION | MF_GRAYED);
  EnableMenuItem(mainMenu_, 1, MF_BYPOSITION | MF_GRAYED);
  DrawMenuBar(hwnd_);
}

void TShuttleControlForm::KeystrokeBoxExit() {
  EnableMenuItem(mainMenu_, 0, MF_BYPOSITION | MF_ENABLED);
  EnableMenuItem(mainMenu_, 1, MF_BYPOSITION | MF_ENABLED);
  DrawMenuBar(hwnd_);
}

void TShuttleControlForm::KeystrokeBoxOnKeyDown(UINT key) {
  editor_.KeyDown(key);
  RenderKeystrokeBox();
}

void TShuttleControlForm::KeystrokeBoxKeyUp(UINT key) {
  editor_.KeyUp(key);
  RenderKeystrokeBox();
}

LRESULT CALLBACK TShuttleControlForm::KeystrokeBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* form = reinterpret_cast<TShuttleControlForm*>(GetWindowLongPtrA(box, GWLP_USERDATA));
  switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      form->KeystrokeBoxOnKeyDown(static_cast<UINT>(wParam));
      return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      form->KeystrokeBoxKeyUp(static_cast<UINT>(wParam));
      return 0;
    // It never takes typed text, and its context menu is suppressed.
    case WM_CHAR:
    case WM_SYSCHAR:
    case WM_DEADCHAR:
    case WM_SYSDEADCHAR:
    case WM_CONTEXTMENU:
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
      return 0;
    default: break;
  }
  return CallWindowProcA(form->keystrokeBoxDefault_, box, message, wParam, lParam);
}

LRESULT CALLBACK TShuttleControlForm::KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
  TShuttleControlForm* form = g_hookForm;
  if (form && code == HC_ACTION) {
    const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    const bool focused = GetFocus() == form->Item(IDC_KEYSTROKEBOX) && form->Item(IDC_KEYSTROKEBOX) != nullptr;
    const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const HookEvent e{code, static_cast<std::uint32_t>(wParam), event->vkCode, event->flags};
    if (HookIntercepts(e, focused, control)) {
      const UINT key = event->vkCode & 0xFFFF;
      if (IsKeyDownMessage(e.message)) form->KeystrokeBoxOnKeyDown(key);
      else form->KeystrokeBoxKeyUp(key);
      return 1;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool TShuttleControlForm::StoreEditedAction() {
  if (editor_.StoreEditedAction() == ActionEditor::StoreResult::Stored) return true;
  std::string text = LabelText(IDC_SINVALIDSCROLLAMOUNT);
  const std::size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, editor_.view.wheelText);
  const std::string caption = windowText(hwnd_);
  MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_ICONEXCLAMATION | MB_TASKMODAL);
  SetFocus(Item(IDC_WHEELBOX));
  SendMessageA(Item(IDC_WHEELBOX), EM_SETSEL, 0, -1);
  return false;
}

void TShuttleControlForm::UserActionBoxChange() {
  const int position = static_cast<int>(SendMessageA(Item(IDC_USERACTIONBOX), CB_GETCURSEL, 0, 0));
  if (position < 0) return;
  if (!StoreEditedAction()) {
    // The refused amount stays in front of the user, and so does its action.
    SendMessageA(Item(IDC_USERACTIONBOX), CB_SETCURSEL, static_cast<WPARAM>(editor_.state.currentUserAction), 0);
    return;
  }
  editor_.ShowUserAction(position);
  Render();
}

void TShuttleControlForm::TargetAppOnClick() {
  const int entry = static_cast<int>(SendMessageA(Item(IDC_TARGETAPPBOX), CB_GETCURSEL, 0, 0));
  if (entry < 0 || static_cast<std::uint32_t>(entry) >= store_.recordCount) return;
  store_.currentSet = static_cast<std::uint32_t>(entry);
  editor_.ShowUserAction(0);
  Render();
}

void TShuttleControlForm::WheelUDClick(bool up) {
  editor_.WheelArrow(up);
  Render();
}

void TShuttleControlForm::ShuttleImageOnClick() {
  if (!StoreEditedAction()) return;
  POINT cursor;
  GetCursorPos(&cursor);
  POINT origin{0, 0};
  ClientToScreen(Item(IDC_SHUTTLEIMAGE), &origin);
  int position = editor_.state.currentUserAction;
  if (const auto point = CursorToPicturePoint(cursor.x, cursor.y, origin.x, origin.y, dpi_);
      point && !maskPixels_.empty()) {
    const int found = UserActionAtPicturePoint(maskPixels_.data(), point->x, point->y);
    if (found >= 0) position = found;
  }
  editor_.ShowUserAction(position);
  Render();
}

void TShuttleControlForm::UndoButtonClick() {
  editor_.ShowUserAction(editor_.state.currentUserAction);
  Render();
}

bool TShuttleControlForm::SaveSettings() {
  if (store_.SaveSettingsFile(settingsPath_, store_.recordCount)) return true;
  ErrorBox(IDC_SCANNOTOPENSETTINGS, IDC_SINTERNALERROR);
  return false;
}

void TShuttleControlForm::SpeedButton1Click() {
  if (!StoreEditedAction()) return;
  SaveSettings();
  editor_.ShowUserAction(editor_.state.currentUserAction);
  Render();
}

void TShuttleControlForm::OKButtonClick() {
  if (!StoreEditedAction()) return;
  SaveSettings();
  if (quit_.QuitWithSaving([this](QuitQuestion q) { return Confirm(q); })) SendMessageA(hwnd_, WM_CLOSE, 0, 0);
}

void TShuttleControlForm::Quitwithoutsaving1Click() {
  if (quit_.QuitWithoutSaving([this](QuitQuestion q) { return Confirm(q); }))
    SendMessageA(hwnd_, WM_CLOSE, 0, 0);
}

bool TShuttleControlForm::ControlFormOnCloseQuery() {
  return quit_.CloseQuery([this](QuitQuestion q) { return Confirm(q); });
}

void TShuttleControlForm::ControlFormOnClose() {
  if (keyboardHook_ && !UnhookWindowsHookEx(keyboardHook_)) logLastError("UnhookWindowsHookEx");
  keyboardHook_ = nullptr;
  g_hookForm = nullptr;
  PostQuitMessage(0);
}

bool TShuttleControlForm::Confirm(QuitQuestion question) {
  const int text = question == QuitQuestion::SureToQuit ? IDC_SSURETOQUIT : IDC_SSURETOQUITWITHOUTSAVING;
  return MessageBoxA(nullptr, LabelText(text).c_str(), LabelText(IDC_SCONFIRMREQUEST).c_str(),
                     MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_TASKMODAL) == IDOK;
}

void TShuttleControlForm::ErrorBox(int textId, int captionId, UINT flags) {
  MessageBoxA(nullptr, LabelText(textId).c_str(), LabelText(captionId).c_str(), flags);
}

void TShuttleControlForm::ShowAboutBox() {
  if (about_) about_->Show();
}

void TShuttleControlForm::OrvanelRingDeckHelp1Click() {
  // The one help file of the suite, beside the programs; the system's viewer opens it.
  const std::string folder = programFolder();
  const std::string help = folder + "\\shuttle.chm";
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteA(hwnd_, nullptr, help.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL));
  if (result <= 32) logLastError("ShellExecuteA(help)");
}

void TShuttleControlForm::SpeedButton2Click() {
  POINT at;
  GetCursorPos(&at);
  const int command = static_cast<int>(TrackPopupMenu(GetSubMenu(targetAppMenu_, 0),
                                                      TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD,
                                                      at.x, at.y, 0, hwnd_, nullptr));
  if (command) OnCommand(command, 0, nullptr);
}

void TShuttleControlForm::ExportAsText() {
  std::string file = proposedReportFileName(store_);
  file.resize(MAX_PATH + 1, '\0');
  const std::string filter = dialogFilter(LabelText(IDC_SEXPORTEDSETTINGSINFOFILTER));
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = hwnd_;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrDefExt = "txt";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameA(&dialog)) return;
  file.resize(std::strlen(file.c_str()));
  switch (::ringdeck::panel::ExportAsText(files_, store_, layoutChars_, file)) {
    case ReportResult::Written: break;
    case ReportResult::CannotOpenSettings: ErrorBox(IDC_SCANNOTOPENSETTINGS, IDC_SINTERNALERROR); break;
    case ReportResult::CannotCreateReport:
    case ReportResult::WriteFailed:  // a cut report must not pass for a whole one
      ErrorBox(IDC_SUNABLEEXPORTUNKNOWN, IDC_SUNABLEEXPORTTITLE);
      break;
  }
}

}  // namespace ringdeck::panel::win32
