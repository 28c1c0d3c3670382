#include "Unit1.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "Unit2.h"
#include "Unit3.h"
#include "device_map.h"
#include "message_filter.h"
#include "protocol.h"
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

// Showing, hiding, enabling and disabling each cost Wine a round trip to its server even when
// nothing changes; a control picked on the device re-renders the whole editor.
void showIfChanged(HWND window, bool shown) {
  // The control's own style, not IsWindowVisible: before the window is shown every control
  // counts as invisible.
  const bool visible = (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0;
  if (visible != shown) ShowWindow(window, shown ? SW_SHOWNA : SW_HIDE);
}

void enableIfChanged(HWND window, bool enabled) {
  if ((IsWindowEnabled(window) != FALSE) != enabled) EnableWindow(window, enabled ? TRUE : FALSE);
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

bool TShuttleControlForm::Create(TForm2* about, TForm3* createDialog) {
  about_ = about;
  createDialog_ = createDialog;
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
  if (streamTaken_ && message == reportNotify_ && reportNotify_ != 0) return ReportWindowProc(wParam, lParam);
  if (channelHandler_ && channelHandler_(message, hwnd_)) return 0;
  switch (message) {
    case WM_ACTIVATEAPP:
      if (wParam) OnAppActivate();
      else OnAppDeactivate();
      return 0;
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

  HWND renameBox = Item(IDC_TARGETAPPEDITBOX);
  SendMessageA(renameBox, EM_LIMITTEXT, sizeof(SettingsRecord::name) - 1, 0);
  SetWindowLongPtrA(renameBox, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  targetAppEditBoxDefault_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(renameBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TargetAppEditBoxProc)));
  if (createDialog_) {
    createDialog_->copyFromText = LabelText(IDC_SCOPYFROM);
    createDialog_->executableFilter = LabelText(IDC_SEXECUTABLEFILTER);
    createDialog_->onChosen = [this] { NewPreferences(); };
  }
  // The engine's reports must reach this window even when it runs elevated and the engine not.
  reportNotify_ = RegisterWindowMessageA(kMsgReportNotify);
  if (reportNotify_) ringdeck::win32::AllowMessagesThroughFilter(hwnd_, {reportNotify_});

  HWND keystrokeBox = Item(IDC_KEYSTROKEBOX);
  SetWindowLongPtrA(keystrokeBox, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  keystrokeBoxDefault_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(keystrokeBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(KeystrokeBoxProc)));

  store_.settingsPath = ringdeck::win32::systemDirectory() + "\\OrvanelRingDeck.pref";
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
  if (!store_.LoadSettingsFile(store_.settingsPath, global)) {
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
  const std::vector<std::string> entries = store_.TargetAppBoxEntries();
  // Thousands of sets: room made once and no drawing until the list is whole.
  SendMessageA(box, WM_SETREDRAW, FALSE, 0);
  SendMessageA(box, CB_RESETCONTENT, 0, 0);
  std::size_t bytes = 0;
  for (const std::string& entry : entries) bytes += entry.size() + 1;
  SendMessageA(box, CB_INITSTORAGE, entries.size(), static_cast<LPARAM>(bytes));
  for (const std::string& entry : entries)
    SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  SendMessageA(box, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(box, nullptr, TRUE);
}

void TShuttleControlForm::Render() {
  rendering_ = true;
  const EditorView& v = editor_.view;
  auto show = [this](int id, bool shown) { showIfChanged(Item(id), shown); };
  auto enable = [this](int id, bool enabled) { enableIfChanged(Item(id), enabled); };

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
  enableIfChanged(Item(IDC_FREQUENCYLABEL), v.frequencyEnabled);
  enableIfChanged(Item(IDC_FREQUENCYBOX), v.frequencyEnabled);
  enableIfChanged(Item(IDC_ISTANTRELEASECHECKBOX), v.syncReleaseEnabled);
}

void TShuttleControlForm::RefreshSettingsStatus() {
  const SettingsStatus status = ::ringdeck::panel::RefreshSettingsStatus(store_);
  const int shown = status.indicator == FactoryState::Factory      ? IDC_FACTORYSETTINGSLABEL
                    : status.indicator == FactoryState::Changed ? IDC_CUSTOMIZEDSETTINGSLABEL
                                                                   : IDC_NOINFOONSETTINGSLABEL;
  for (int id : {IDC_CUSTOMIZEDSETTINGSLABEL, IDC_FACTORYSETTINGSLABEL, IDC_NOINFOONSETTINGSLABEL})
    showIfChanged(Item(id), id == shown);
  const UINT state = MF_BYCOMMAND | (status.setLevelEntriesEnabled ? MF_ENABLED : MF_GRAYED);
  for (UINT id : {IDM_REMOVESETTINGS, IDM_CHANGETARGETAPP, IDM_RENAMESETTINGS}) EnableMenuItem(mainMenu_, id, state);
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
    case IDC_TARGETAPPBOX:
      if (notification == CBN_SELCHANGE) TargetAppOnClick();
      else if (notification == CBN_DROPDOWN) TargetAppBoxDropDown();
      else if (notification == CBN_KILLFOCUS) TargetAppBoxExit();
      break;
    case IDC_TARGETAPPEDITBOX:
      if (notification == EN_KILLFOCUS) TargetAppEditBoxExit();
      break;
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
    case IDM_NEWPREFERENCES: NewPreferences1Click(); break;
    case IDM_RENAMESETTINGS: Changecurrentpropertyname1Click(); break;
    case IDM_CHANGETARGETAPP: OnChangeTargetApp(); break;
    case IDM_REMOVESETTINGS: DeletePreferences1Click(); break;
    case IDM_IMPORTSETTINGS: Importpreferences1Click(); break;
    case IDM_EXPORTSETTINGS: Exportpreferences1Click(); break;
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
  live_.liveSelectionEnabled = true;
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
  if (store_.SaveSettingsFile(store_.settingsPath, store_.recordCount)) return true;
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
  // Closed while in front: the report stream goes back now, not to a window that is gone.
  if (streamTaken_) OnAppDeactivate();
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
  TargetAppPopupPopup();
  POINT at;
  GetCursorPos(&at);
  const int command = static_cast<int>(TrackPopupMenu(GetSubMenu(targetAppMenu_, 0),
                                                      TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD,
                                                      at.x, at.y, 0, hwnd_, nullptr));
  if (command) OnCommand(command, 0, nullptr);
}

bool TShuttleControlForm::RunSaveDialog(std::string& file, const std::string& filter, const char* extension) {
  file.resize(MAX_PATH + 1, '\0');
  const std::string filters = dialogFilter(filter);
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = hwnd_;
  dialog.lpstrFilter = filters.c_str();
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrDefExt = extension;
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameA(&dialog)) return false;
  file.resize(std::strlen(file.c_str()));
  return true;
}

void TShuttleControlForm::ExportAsText() {
  std::string file = proposedReportFileName(store_);
  if (!RunSaveDialog(file, LabelText(IDC_SEXPORTEDSETTINGSINFOFILTER), "txt")) return;
  switch (::ringdeck::panel::ExportAsText(files_, store_, layoutChars_, file)) {
    case ReportResult::Written: break;
    case ReportResult::CannotOpenSettings: ErrorBox(IDC_SCANNOTOPENSETTINGS, IDC_SINTERNALERROR); break;
    case ReportResult::CannotCreateReport:
    case ReportResult::WriteFailed:  // a cut report must not pass for a whole one
      ErrorBox(IDC_SUNABLEEXPORTUNKNOWN, IDC_SUNABLEEXPORTTITLE);
      break;
  }
}

// --- Live device selection ---------------------------------------------------------------------

void TShuttleControlForm::OnAppActivate() {
  streamTaken_ = true;
  // Registered anew each time, and the engine looked up each time: it may have started or
  // restarted while this window was in the background.
  reportNotify_ = RegisterWindowMessageA(kMsgReportNotify);
  const UINT request = RegisterWindowMessageA(kMsgReportRequest);
  previousListener_ = kNoPreviousListener;
  if (!reportNotify_ || !request) return;
  HWND engine = FindWindowA(kEngineWindowClass, nullptr);
  if (!engine) return;
  previousListener_ = static_cast<std::int32_t>(
      SendMessageA(engine, request, kReportExchange, reinterpret_cast<LPARAM>(hwnd_)));
}

void TShuttleControlForm::OnAppDeactivate() {
  streamTaken_ = false;
  live_.Deactivated();
  const UINT request = RegisterWindowMessageA(kMsgReportRequest);
  if (!request || !RegisterWindowMessageA(kMsgReportNotify)) return;
  HWND engine = FindWindowA(kEngineWindowClass, nullptr);
  if (!engine) return;
  const ListenerRequest back = HandBackRequest(previousListener_);
  SendMessageA(engine, request, back.wParam, static_cast<LPARAM>(back.lParam));
}

LRESULT TShuttleControlForm::ReportWindowProc(WPARAM wParam, LPARAM lParam) {
  // The engine's reader waits for the answer: give it at once, then select. A message box the
  // selection may show (a refused scroll amount) then never holds the device up.
  if (InSendMessage()) ReplyMessage(kReportTaken);
  const auto position = live_.DecodeAndSelect(static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam));
  if (position) {
    HWND list = Item(IDC_USERACTIONBOX);
    const int noted = static_cast<int>(SendMessageA(list, CB_GETCURSEL, 0, 0));
    if (*position != noted) {
      SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(*position), 0);
      UserActionBoxChange();
    }
  }
  return kReportTaken;
}

void TShuttleControlForm::TargetAppBoxDropDown() { live_.liveSelectionEnabled = false; }

void TShuttleControlForm::TargetAppBoxExit() { live_.liveSelectionEnabled = true; }

// --- Operations on whole sets ---------------------------------------------------------------------

void TShuttleControlForm::TargetAppPopupPopup() {
  const UINT state = MF_BYCOMMAND | (store_.currentSet != 0 ? MF_ENABLED : MF_GRAYED);
  HMENU popup = GetSubMenu(targetAppMenu_, 0);
  for (UINT id : {IDM_REMOVESETTINGS, IDM_CHANGETARGETAPP, IDM_RENAMESETTINGS}) EnableMenuItem(popup, id, state);
}

void TShuttleControlForm::ShowSetOperationResult(SetOperationResult result) {
  if (result == SetOperationResult::SaveFailed || result == SetOperationResult::ReloadFailed)
    ErrorBox(IDC_SCANNOTOPENSETTINGS, IDC_SINTERNALERROR);
  if (result == SetOperationResult::SaveFailed) return;  // nothing changed
  FillTargetAppBox();
  editor_.ShowUserAction(0);
  Render();
}

void TShuttleControlForm::NewPreferences1Click() {
  if (!createDialog_) return;
  createDialog_->Show(LabelText(IDC_SCOPYFROM) + windowText(Item(IDC_TARGETAPPBOX)));
}

void TShuttleControlForm::NewPreferences() {
  const SetOperationResult result = ::ringdeck::panel::NewPreferences(store_, createDialog_->copyMode, createDialog_->chosenFile);
  if (result == SetOperationResult::TargetNameTooLong) {
    std::string text = LabelText(IDC_STARGETNAMETOOLONG);
    if (const std::size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, createDialog_->chosenFile);
    MessageBoxA(nullptr, text.c_str(), LabelText(IDC_STARGETAPPLICATIONSELECTION).c_str(), MB_ICONEXCLAMATION);
    return;
  }
  ShowSetOperationResult(result);
}

void TShuttleControlForm::Changecurrentpropertyname1Click() {
  if (store_.currentSet == 0) return;
  renaming_ = true;
  renameKeyPressed_ = 0;
  HWND box = Item(IDC_TARGETAPPEDITBOX);
  SetWindowTextA(box, windowText(Item(IDC_TARGETAPPBOX)).c_str());
  ShowWindow(Item(IDC_TARGETAPPBOX), SW_HIDE);
  ShowWindow(box, SW_SHOW);
  SetFocus(box);
  SendMessageA(box, EM_SETSEL, 0, -1);
}

void TShuttleControlForm::TargetAppEditBoxKeyUp(UINT key) {
  if (!renaming_) return;
  if (key == VK_RETURN) {
    const std::string name = windowText(Item(IDC_TARGETAPPEDITBOX));
    RenameCurrentSet(store_, name);
    HWND list = Item(IDC_TARGETAPPBOX);
    const std::string shown(fieldText(store_.current().name));
    SendMessageA(list, CB_DELETESTRING, store_.currentSet, 0);
    SendMessageA(list, CB_INSERTSTRING, store_.currentSet, reinterpret_cast<LPARAM>(shown.c_str()));
    TargetAppEditBoxExit();
  } else if (key == VK_ESCAPE) {
    TargetAppEditBoxExit();
  }
}

void TShuttleControlForm::TargetAppEditBoxExit() {
  if (!renaming_) return;
  renaming_ = false;  // first: hiding the box takes its focus and comes back here
  HWND list = Item(IDC_TARGETAPPBOX);
  const bool hadFocus = GetFocus() == Item(IDC_TARGETAPPEDITBOX);
  ShowWindow(Item(IDC_TARGETAPPEDITBOX), SW_HIDE);
  ShowWindow(list, SW_SHOW);
  SendMessageA(list, CB_SETCURSEL, store_.currentSet, 0);
  if (hadFocus) SetFocus(list);
}

LRESULT CALLBACK TShuttleControlForm::TargetAppEditBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* form = reinterpret_cast<TShuttleControlForm*>(GetWindowLongPtrA(box, GWLP_USERDATA));
  switch (message) {
    // Enter and Escape are the box's own keys, not the window's default and cancel buttons.
    case WM_GETDLGCODE: return CallWindowProcA(form->targetAppEditBoxDefault_, box, message, wParam, lParam) | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
      // A release counts only after its press in the box: the Enter that chose "Rename
      // Settings" from a menu is released in the box and must not end the rename at once.
      if (wParam == VK_RETURN || wParam == VK_ESCAPE) form->renameKeyPressed_ = static_cast<UINT>(wParam);
      break;
    case WM_KEYUP:
      if (static_cast<UINT>(wParam) == form->renameKeyPressed_) {
        form->renameKeyPressed_ = 0;
        form->TargetAppEditBoxKeyUp(static_cast<UINT>(wParam));
      }
      return 0;
    case WM_CHAR:
      if (wParam == '\r' || wParam == 27) return 0;  // no beep
      break;
    default: break;
  }
  return CallWindowProcA(form->targetAppEditBoxDefault_, box, message, wParam, lParam);
}

bool TShuttleControlForm::LocateTargetApplication(SettingsRecord& record) {
  const std::string filter = dialogFilter(LabelText(IDC_SEXECUTABLEFILTER));
  char file[MAX_PATH + 1] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = hwnd_;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameA(&dialog)) return false;
  if (SetTargetApplication(record, file)) return true;
  std::string text = LabelText(IDC_STARGETNAMETOOLONG);
  if (const std::size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, FileNameOf(file));
  MessageBoxA(nullptr, text.c_str(), LabelText(IDC_STARGETAPPLICATIONSELECTION).c_str(), MB_ICONEXCLAMATION);
  return false;
}

void TShuttleControlForm::OnChangeTargetApp() {
  if (store_.currentSet == 0 || store_.currentSet >= store_.recordCount) return;
  SettingsRecord scratch = store_.records[store_.currentSet];
  if (LocateTargetApplication(scratch)) store_.records[store_.currentSet] = scratch;
}

void TShuttleControlForm::DeletePreferences1Click() {
  if (MessageBoxA(nullptr, LabelText(IDC_SSURETOREMOVE).c_str(), LabelText(IDC_SCONFIRMREQUEST).c_str(),
                  MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_TASKMODAL) != IDOK)
    return;
  const SetOperationResult result = RemoveCurrentSet(store_);
  if (result == SetOperationResult::NothingToDo) return;
  ShowSetOperationResult(result);
}

void TShuttleControlForm::Importpreferences1Click() {
  live_.liveSelectionEnabled = false;
  if (importDirectory_.empty()) importDirectory_ = programFolder() + "\\Settings";
  const std::string filter = dialogFilter(LabelText(IDC_SIMPORTFILTER));
  char file[MAX_PATH + 1] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = hwnd_;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrInitialDir = importDirectory_.c_str();
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_READONLY | OFN_EXPLORER | OFN_NOCHANGEDIR;
  SetOperationResult result = SetOperationResult::NothingToDo;
  if (GetOpenFileNameA(&dialog)) {
    SettingsRecord scratch{};
    switch (ReadImportFile(files_, file, scratch)) {
      case ImportReadResult::Unreadable: ErrorBox(IDC_SUNABLEIMPORTUNKNOWN, IDC_SUNABLEIMPORTTITLE); break;
      case ImportReadResult::FormatNotValid: ErrorBox(IDC_SUNABLEIMPORTFORMATNOTVALID, IDC_SUNABLEIMPORTTITLE); break;
      case ImportReadResult::Read: {
        bool located = true;
        if (ImportNeedsTarget(scratch)) {
          ErrorBox(IDC_SAFTERCLICKINGOK, IDC_STARGETAPPLICATIONSELECTION, MB_ICONQUESTION);
          located = LocateTargetApplication(scratch);
        }
        if (!located) break;
        result = AppendImportedSet(store_, scratch);
        if (result == SetOperationResult::Done)
          ErrorBox(IDC_SIMPORTSUCCESSFULL, IDC_SIMPORTSUCCESSFULLTITLE, MB_ICONQUESTION | MB_TASKMODAL);
        break;
      }
    }
  }
  if (result == SetOperationResult::SaveFailed || result == SetOperationResult::ReloadFailed)
    ErrorBox(IDC_SCANNOTOPENSETTINGS, IDC_SINTERNALERROR);
  if (result != SetOperationResult::SaveFailed && result != SetOperationResult::NothingToDo) FillTargetAppBox();
  editor_.ShowUserAction(0);
  Render();
  live_.liveSelectionEnabled = true;
}

void TShuttleControlForm::Exportpreferences1Click() {
  std::string file = ProposedExportFileName(store_);
  if (!RunSaveDialog(file, LabelText(IDC_SEXPORTEDSETTINGSFILTER), "pref")) return;
  if (!ExportSet(files_, store_.current(), file)) ErrorBox(IDC_SUNABLEEXPORTUNKNOWN, IDC_SUNABLEEXPORTTITLE);
}

}  // namespace ringdeck::panel::win32
