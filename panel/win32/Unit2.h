// TForm2, the about box: made once at start, shown without being modal and hidden again, never
// destroyed before the program ends.
#pragma once

#include <windows.h>

#include <string>

#include "about_box.h"

namespace ringdeck::panel::win32 {

class TForm2 {
 public:
  static constexpr const char* kWindowClass = "TForm2";

  explicit TForm2(HINSTANCE instance) : instance_(instance) {}
  ~TForm2();
  TForm2(const TForm2&) = delete;
  TForm2& operator=(const TForm2&) = delete;

  bool Create();
  void Show();
  HWND handle() const { return hwnd_; }
  bool PreTranslate(MSG& msg) { return hwnd_ && IsDialogMessageA(hwnd_, &msg); }

 private:
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
  static void PaintAbout(HWND picture, HDC dc, void* form);
  void AboutImageClick();

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  int dpi_ = 96;
  HFONT font_ = nullptr;
  HFONT boldFont_ = nullptr;
  HBITMAP aboutImage_ = nullptr;
  HBITMAP easterEgg_ = nullptr;
  EasterEggSequence egg_;
};

}  // namespace ringdeck::panel::win32
