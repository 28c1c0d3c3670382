// TForm3, the Create New Settings dialog: made once at start, shown without being modal and
// hidden again. It asks how the new set starts (empty, a copy of the global set or of the
// current one) and then for the program the set is for; the main window creates the set.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "set_operations.h"

namespace ringdeck::panel::win32 {

class TForm3 {
 public:
  static constexpr const char* kWindowClass = "TForm3";

  explicit TForm3(HINSTANCE instance) : instance_(instance) {}
  ~TForm3();
  TForm3(const TForm3&) = delete;
  TForm3& operator=(const TForm3&) = delete;

  bool Create();
  // Shows the dialog with the third choice naming the current set ("Copy From : 'name").
  void Show(const std::string& copyFromCaption);
  HWND handle() const { return hwnd_; }
  bool PreTranslate(MSG& msg) { return hwnd_ && IsVisible() && IsDialogMessageA(hwnd_, &msg); }
  bool IsVisible() const { return hwnd_ && IsWindowVisible(hwnd_); }

  // Kept between uses, as the checked radio button is.
  CopyMode copyMode = CopyMode::Empty;
  // The picked program's file name, without its folder.
  std::string chosenFile;
  // Asks the main window to create the set once a program was picked.
  std::function<void()> onChosen;
  // Texts of the main window's hidden labels the dialog shows: "Copy From : '" and the filter.
  std::string copyFromText;
  std::string executableFilter;

 private:
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
  void OKButtonClick();
  void CancelButtonClick();

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
};

}  // namespace ringdeck::panel::win32
