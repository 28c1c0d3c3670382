#include "controller_window.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>

#include "device_table.h"
#include "resource.h"
#include "win32_log.h"

namespace ringdeck::vcontroller {
namespace {

using panel::kDeviceControls;

// The picture at twice its size: buttons big enough to hit without aiming.
constexpr int kScale = kPictureScale;
constexpr int kPictureWidth = panel::kDevicePictureWidth * kScale;
constexpr int kPictureHeight = panel::kDevicePictureHeight * kScale;
constexpr int kLineHeight = 18;
constexpr int kTextMargin = 8;
constexpr int kClientWidth = kPictureWidth;
constexpr int kClientHeight = kPictureHeight + 3 * kLineHeight + 2 * kTextMargin;

constexpr UINT_PTR kSpringTimer = 1;
constexpr UINT kSpringMs = 15;  // one position each tick: all the way back in about 0.1 s
constexpr UINT_PTR kJogLightTimer = 2;
constexpr UINT kJogLightMs = 300;

// The wheel turns the system saw, whether a program made them (SendInput) or a person: the engine
// turns the wheel under the pointer, which is over this window while the person plays the jog,
// and such a turn must not turn the jog again. A low-level hook of the window's thread sees each
// turn before its WM_MOUSEWHEEL; the two are matched by their time.
struct WheelSeen {
  DWORD time;
  bool injected;
};
HHOOK g_wheelHook = nullptr;
std::deque<WheelSeen> g_wheels;

LRESULT CALLBACK wheelHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION && wp == WM_MOUSEWHEEL) {
    const auto* m = reinterpret_cast<const MSLLHOOKSTRUCT*>(lp);
    g_wheels.push_back(WheelSeen{m->time, (m->flags & LLMHF_INJECTED) != 0});
    if (g_wheels.size() > 64) g_wheels.pop_front();
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

// Was the wheel message being handled made by a program?
bool wheelInjected() {
  const DWORD time = static_cast<DWORD>(GetMessageTime());
  while (!g_wheels.empty()) {
    const WheelSeen w = g_wheels.front();
    g_wheels.pop_front();
    if (w.time == time) return w.injected;
  }
  return false;
}

// A wheel turn the engine made lands where it would with the pointer over the document: in the
// window with the keyboard focus, if that is another program's.
void passWheelOn(WPARAM wp, LPARAM lp) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  HWND front = GetForegroundWindow();
  if (!front || !GetGUIThreadInfo(GetWindowThreadProcessId(front, nullptr), &info)) return;
  HWND target = info.hwndFocus ? info.hwndFocus : front;
  DWORD process = 0;
  GetWindowThreadProcessId(target, &process);
  if (process != GetCurrentProcessId()) PostMessageA(target, WM_MOUSEWHEEL, wp, lp);
}

}  // namespace

void InstallWheelHook(HINSTANCE instance) {
  if (!g_wheelHook) g_wheelHook = SetWindowsHookExA(WH_MOUSE_LL, wheelHook, instance, 0);
  if (!g_wheelHook) win32::logLastError("SetWindowsHookExA");
}

void RemoveWheelHook() {
  if (g_wheelHook) UnhookWindowsHookEx(g_wheelHook);
  g_wheelHook = nullptr;
}

// ---- DeviceArt

bool DeviceArt::load(HINSTANCE instance) {
  auto bitmap = [instance](int id, UINT flags) {
    auto* b = static_cast<HBITMAP>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, flags));
    if (!b) win32::logLastError("LoadImageA");
    return b;
  };
  device = bitmap(IDB_DEVICE, 0);
  for (int i = 0; i < panel::kControlCount; ++i) highlights[static_cast<std::size_t>(i)] = bitmap(IDB_HIGHLIGHT0 + i, 0);
  // The mask's 8-bit values, top row first, as the control panel reads them.
  HBITMAP maskBitmap = bitmap(IDB_MASK, LR_CREATEDIBSECTION);
  DIBSECTION dib{};
  const int w = panel::kDevicePictureWidth, h = panel::kDevicePictureHeight;
  if (!device || !maskBitmap || GetObjectA(maskBitmap, sizeof dib, &dib) != sizeof dib || dib.dsBm.bmBitsPixel != 8 ||
      dib.dsBm.bmWidth != w || dib.dsBm.bmHeight != h) {
    if (maskBitmap) DeleteObject(maskBitmap);
    return false;
  }
  std::vector<std::uint8_t> values(static_cast<std::size_t>(w) * h);
  const auto* bits = static_cast<const BYTE*>(dib.dsBm.bmBits);
  const bool bottomUp = dib.dsBmih.biHeight > 0;
  for (int y = 0; y < h; ++y) {
    const BYTE* row = bits + static_cast<std::ptrdiff_t>(bottomUp ? h - 1 - y : y) * dib.dsBm.bmWidthBytes;
    std::copy(row, row + w, values.begin() + static_cast<std::ptrdiff_t>(y) * w);
  }
  DeleteObject(maskBitmap);
  mask = std::make_unique<DeviceMask>(std::move(values), w, h);
  return true;
}

DeviceArt::~DeviceArt() {
  if (device) DeleteObject(device);
  for (HBITMAP b : highlights)
    if (b) DeleteObject(b);
}

// ---- ControllerWindow

ControllerWindow::ControllerWindow(ControllerApp& app, int controller, int number)
    : app_(app), controller_(controller), number_(number), model_(*app.art().mask) {}

ControllerWindow::~ControllerWindow() {
  if (hwnd_) close();
  if (font_) DeleteObject(font_);
}

bool ControllerWindow::registerClass(HINSTANCE instance) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = &ControllerWindow::proc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_CONTROLLER));
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND));
  wc.lpszClassName = kWindowClass;
  return RegisterClassA(&wc) != 0;
}

bool ControllerWindow::create(int x, int y) {
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  // Like an on-screen keyboard: never taken to the front by a click, so that the keys the
  // engine types go on reaching the program the person works in; always above it.
  const DWORD exStyle = WS_EX_NOACTIVATE | WS_EX_TOPMOST;
  RECT r{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&r, style, TRUE, exStyle);
  const std::string title = number_ == 1 ? std::string(kCaption) : std::string(kCaption) + " " + std::to_string(number_);
  HMENU menu = LoadMenuA(app_.instance(), MAKEINTRESOURCEA(IDR_MENU));
  hwnd_ = CreateWindowExA(exStyle, kWindowClass, title.c_str(), style, x, y, r.right - r.left, r.bottom - r.top,
                          nullptr, menu, app_.instance(), this);
  if (!hwnd_) {
    win32::logLastError("CreateWindowExA");
    return false;
  }
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    font_ = CreateFontIndirectA(&metrics.lfMessageFont);
  }
  model_.releaseAll();
  sentOnce_ = false;
  changed();
  app_.server().plug(controller_);
  ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  UpdateWindow(hwnd_);
  return true;
}

LRESULT CALLBACK ControllerWindow::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<ControllerWindow*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<ControllerWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->app_.windowClosed(self);
    return DefWindowProcA(hwnd, msg, wp, lp);
  }
  return self->handle(msg, wp, lp);
}

POINT ControllerWindow::toPicture(int x, int y) const {
  // Floor division: a point left of or above the picture stays outside it.
  auto down = [](int v) { return v >= 0 ? v / kScale : -((-v + kScale - 1) / kScale); };
  return POINT{down(x), down(y)};
}

LRESULT ControllerWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
      const POINT p = toPicture(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      const bool left = msg == WM_LBUTTONDOWN;
      model_.mouseDown(left ? MouseButton::Left : MouseButton::Right, p.x, p.y);
      if (left) SetCapture(hwnd_);
      if (model_.holdingRing()) KillTimer(hwnd_, kSpringTimer);
      changed();
      return 0;
    }
    case WM_MOUSEMOVE: {
      const POINT p = toPicture(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      const std::uint8_t jog = model_.jogCounter();
      model_.mouseMove(p.x, p.y);
      if (model_.jogCounter() != jog) jogLit_ = true;
      changed();
      return 0;
    }
    case WM_LBUTTONUP:
      model_.mouseUp(MouseButton::Left);
      if (GetCapture() == hwnd_) ReleaseCapture();
      if (model_.shuttle() != 0) SetTimer(hwnd_, kSpringTimer, kSpringMs, nullptr);
      SetTimer(hwnd_, kJogLightTimer, kJogLightMs, nullptr);
      changed();
      return 0;
    case WM_RBUTTONUP:
      return 0;
    case WM_CAPTURECHANGED:
      // The capture taken away (a menu, another program): the mouse button counts as let go.
      if (reinterpret_cast<HWND>(lp) != hwnd_ && (model_.holdingRing() || model_.holdingJog() || model_.buttons())) {
        model_.mouseUp(MouseButton::Left);
        if (model_.shuttle() != 0) SetTimer(hwnd_, kSpringTimer, kSpringMs, nullptr);
        changed();
      }
      return 0;
    case WM_MOUSEWHEEL: {
      if (wheelInjected()) {
        passWheelOn(wp, lp);
        return 0;
      }
      POINT screen{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ScreenToClient(hwnd_, &screen);
      const POINT p = toPicture(screen.x, screen.y);
      if (model_.wheel(GET_WHEEL_DELTA_WPARAM(wp), p.x, p.y) != 0) {
        jogLit_ = true;
        SetTimer(hwnd_, kJogLightTimer, kJogLightMs, nullptr);
        changed();
      }
      return 0;
    }
    case WM_TIMER:
      if (wp == kSpringTimer) {
        if (!model_.springStep()) KillTimer(hwnd_, kSpringTimer);
        changed();
      } else if (wp == kJogLightTimer) {
        KillTimer(hwnd_, kJogLightTimer);
        if (!model_.holdingJog()) jogLit_ = false;
        InvalidateRect(hwnd_, nullptr, FALSE);
      }
      return 0;
    case kMsgPlugState:
      state_ = static_cast<PlugState>(lp);
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_INITMENUPOPUP:
      menuState(reinterpret_cast<HMENU>(wp));
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDM_PLUG:
          app_.server().plug(controller_);
          return 0;
        case IDM_UNPLUG:
          // Unplugged, the controller's hand lets go of it too.
          model_.releaseAll();
          KillTimer(hwnd_, kSpringTimer);
          changed();
          app_.server().unplug(controller_);
          return 0;
        case IDM_SECOND:
          app_.openSecond();
          return 0;
        case IDM_CLOSE:
          close();
          return 0;
      }
      break;
    case WM_CLOSE:
      close();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      paint(dc);
      EndPaint(hwnd_, &ps);
      return 0;
    }
  }
  return DefWindowProcA(hwnd_, msg, wp, lp);
}

void ControllerWindow::menuState(HMENU menu) {
  const PlugState s = app_.server().state(controller_);
  EnableMenuItem(menu, IDM_PLUG, MF_BYCOMMAND | (s == PlugState::Unplugged ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu, IDM_UNPLUG, MF_BYCOMMAND | (s != PlugState::Unplugged ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu, IDM_SECOND, MF_BYCOMMAND | (number_ == 1 && !app_.secondOpen() ? MF_ENABLED : MF_GRAYED));
}

void ControllerWindow::close() {
  // Whatever is still held (a latched chord, the ring) comes up before the controller goes.
  model_.releaseAll();
  KillTimer(hwnd_, kSpringTimer);
  changed();
  app_.server().unplug(controller_);
  DestroyWindow(hwnd_);
}

void ControllerWindow::changed() {
  const Report r = model_.report();
  if (!sentOnce_ || r != lastSent_) {
    app_.server().send(controller_, r);
    lastSent_ = r;
    sentOnce_ = true;
  }
  if (model_.holdingJog()) jogLit_ = true;
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

std::string ControllerWindow::statusLine() const {
  char text[160];
  std::snprintf(text, sizeof text, "Shuttle %+d      Jog counter %u      Buttons:", model_.shuttle(),
                static_cast<unsigned>(model_.jogCounter()));
  std::string line = text;
  bool any = false;
  for (int b = 0; b < kButtonCount; ++b) {
    if (!(model_.buttons() >> b & 1)) continue;
    line += " " + std::to_string(b + 1) + (model_.latched(b) ? " (latched)" : "");
    any = true;
  }
  if (!any) line += " none";
  return line;
}

std::string ControllerWindow::plugLine() const {
  switch (state_) {
    case PlugState::PluggedIn:
      return "Plugged in: the engine reads this controller.";
    case PlugState::WaitingForEngine:
      return "Plugged in, waiting for the engine (RingDeckEngineVirtual.exe) to take it...";
    case PlugState::Unplugged:
      break;
  }
  return "Unplugged (Controller menu: Plug in).";
}

void ControllerWindow::paint(HDC target) {
  RECT client;
  GetClientRect(hwnd_, &client);
  HDC dc = CreateCompatibleDC(target);
  HBITMAP buffer = CreateCompatibleBitmap(target, client.right, client.bottom);
  HGDIOBJ oldBuffer = SelectObject(dc, buffer);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));

  // The device, then every control it touches lit, as the control panel lights it.
  const DeviceArt& art = app_.art();
  HDC src = CreateCompatibleDC(target);
  SetStretchBltMode(dc, COLORONCOLOR);
  auto blit = [&](HBITMAP b, int x, int y, int w, int h) {
    if (!b) return;
    HGDIOBJ old = SelectObject(src, b);
    StretchBlt(dc, x * kScale, y * kScale, w * kScale, h * kScale, src, 0, 0, w, h, SRCCOPY);
    SelectObject(src, old);
  };
  blit(art.device, 0, 0, panel::kDevicePictureWidth, panel::kDevicePictureHeight);
  for (int i = 0; i < panel::kControlCount; ++i) {
    bool lit = false;
    if (i < panel::kButtonControls) {
      lit = model_.buttons() >> i & 1;
    } else if (i == panel::kJogControl) {
      lit = jogLit_;
    } else {
      lit = model_.holdingRing() || model_.shuttle() != 0;
    }
    if (!lit) continue;
    const panel::PictureRect& r = kDeviceControls[static_cast<std::size_t>(i)].highlight;
    blit(art.highlights[static_cast<std::size_t>(i)], r.left, r.top, r.width, r.height);
  }
  DeleteDC(src);

  // Where the ring stands and how far the jog has turned: a mark on each.
  auto mark = [&](const Ellipse& e, double degrees, double inset, COLORREF colour, int radius) {
    const double a = degrees * 3.14159265358979 / 180;
    const int x = static_cast<int>((e.cx + std::sin(a) * (e.rx - inset)) * kScale);
    const int y = static_cast<int>((e.cy - std::cos(a) * (e.ry - inset)) * kScale);
    HBRUSH brush = CreateSolidBrush(colour);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    ::Ellipse(dc, x - radius, y - radius, x + radius + 1, y + radius + 1);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
  };
  const DeviceMask& mask = *art.mask;
  mark(mask.ring(), model_.shuttle() * kShuttleDegreesPerPosition, 6, RGB(255, 170, 0), 5);
  mark(mask.jog(), model_.jogCounter() * kJogDegreesPerStep, 12, RGB(80, 160, 255), 4);

  // What the controller sends, and whether the engine reads it.
  HGDIOBJ oldFont = SelectObject(dc, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  const std::string lines[] = {
      statusLine(), plugLine(),
      "Click a button to press it, right-click to latch it. Wheel over the jog, or drag the jog or the ring."};
  int y = kPictureHeight + kTextMargin;
  for (const std::string& line : lines) {
    RECT r{kTextMargin, y, client.right - kTextMargin, y + kLineHeight};
    DrawTextA(dc, line.c_str(), static_cast<int>(line.size()), &r, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    y += kLineHeight;
  }
  SelectObject(dc, oldFont);

  BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBuffer);
  DeleteObject(buffer);
  DeleteDC(dc);
}

// ---- ControllerApp

ControllerApp::ControllerApp(HINSTANCE instance) : instance_(instance) {}

ControllerApp::~ControllerApp() {
  second_.reset();
  first_.reset();
  server_.reset();  // unplugs whatever is still plugged in
}

int ControllerApp::run(int showCommand) {
  (void)showCommand;
  if (!art_.load(instance_)) {
    MessageBoxA(nullptr, "The pictures of the device could not be loaded.", kCaption, MB_OK | MB_ICONERROR);
    return 1;
  }
  server_ = std::make_unique<DeviceServer>([this](int controller, PlugState state) {
    std::lock_guard lock(windowsLock_);
    for (int i = 0; i < 2; ++i) {
      if (controllers_[i] == controller && windows_[i]) {
        PostMessageA(windows_[i], kMsgPlugState, static_cast<WPARAM>(controller), static_cast<LPARAM>(state));
      }
    }
  });
  if (!server_->start()) {
    MessageBoxA(nullptr,
                "Another program is already serving the engine's virtual devices "
                "(a second RingDeck Virtual Controller, a test or the demo).\n\n"
                "Close it and start RingDeck Virtual Controller again.",
                kCaption, MB_OK | MB_ICONEXCLAMATION);
    return 2;
  }
  controllers_[0] = server_->add(engine::kMakerVendor, engine::kMakerController);
  // The second controller comes with the partner's identity, which the engine also accepts.
  controllers_[1] = server_->add(engine::kPartnerVendor, engine::kPartnerController);
  InstallWheelHook(instance_);
  if (!ControllerWindow::registerClass(instance_)) {
    win32::logLastError("RegisterClassA");
    return 1;
  }
  first_ = std::make_unique<ControllerWindow>(*this, controllers_[0], 1);
  // At the right of the screen, where it leaves room for the programs it drives.
  RECT work{0, 0, 1280, 1024};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, TRUE, 0);
  const int width = frame.right - frame.left;
  if (!first_->create(std::max<int>(work.left, work.right - width - 8), work.top + 8)) return 1;
  {
    std::lock_guard lock(windowsLock_);
    windows_[0] = first_->handle();
  }
  // A state reached before the window was there.
  PostMessageA(first_->handle(), kMsgPlugState, 0, static_cast<LPARAM>(server_->state(controllers_[0])));

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  RemoveWheelHook();
  return static_cast<int>(msg.wParam);
}

void ControllerApp::openSecond() {
  if (secondOpen()) return;
  if (!second_) second_ = std::make_unique<ControllerWindow>(*this, controllers_[1], 2);
  RECT r{};
  GetWindowRect(first_->handle(), &r);
  if (!second_->create(std::max<int>(0, r.left - 40), r.top + 40)) return;
  {
    std::lock_guard lock(windowsLock_);
    windows_[1] = second_->handle();
  }
  PostMessageA(second_->handle(), kMsgPlugState, 1, static_cast<LPARAM>(server_->state(controllers_[1])));
}

void ControllerApp::windowClosed(ControllerWindow* window) {
  std::lock_guard lock(windowsLock_);
  if (first_ && window == first_.get()) {
    windows_[0] = nullptr;
    // The first window is the program: closing it ends everything.
    PostQuitMessage(0);
  } else {
    windows_[1] = nullptr;
  }
}

}  // namespace ringdeck::vcontroller
