// TShuttleControlForm, the control panel's main window: the device picture, the target
// application box, the action editor and OK / Undo / Apply. It owns the settings store, the
// editor and the low-level keyboard hook; everything runs on the one user-interface thread.
// Handlers are named after the control and the event; each asks the core (ActionEditor,
// QuitRules, SettingsStore) and then shows what the core says.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "action_editor.h"
#include "control_form.h"
#include "layout_chars.h"
#include "live_selection.h"
#include "set_operations.h"
#include "settings_store.h"
#include "template_layout.h"
#include "win32_file.h"
#include "win32_peer_messenger.h"

namespace ringdeck::panel::win32 {

class TForm2;
class TForm3;

// The editor's words, read from the window's own layout: hidden labels, toggle buttons and the
// entries of the response and manual key menus.
class WindowCaptions final : public CaptionProvider {
 public:
  HWND window = nullptr;
  HMENU responsePopup = nullptr;
  HMENU manualKeySelection = nullptr;
  std::string caption(EditorCaption which) const override;
  std::string keyMenuCaption(std::uint8_t keyCode) const override;
};

class TShuttleControlForm {
 public:
  static constexpr const char* kWindowClass = "TShuttleControlForm";

  explicit TShuttleControlForm(HINSTANCE instance);
  ~TShuttleControlForm();
  TShuttleControlForm(const TShuttleControlForm&) = delete;
  TShuttleControlForm& operator=(const TShuttleControlForm&) = delete;

  // Builds the window (hidden) and everything it owns; false when it cannot be made.
  bool Create(TForm2* about, TForm3* createDialog);
  void Show(int showCommand);
  HWND handle() const { return hwnd_; }
  // Keyboard navigation between the controls; true when the message was used.
  bool PreTranslate(MSG& msg);
  // The application-wide handler of the single-instance channel: also asked from the window
  // procedure, which is where a message box's or a file dialog's own loop delivers the broadcast.
  void SetChannelHandler(std::function<bool(UINT message, HWND addressedTo)> handler) {
    channelHandler_ = std::move(handler);
  }
  // Text of a hidden label (or any control) of the window.
  std::string LabelText(int id) const;

 private:
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK KeystrokeBoxProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK TargetAppEditBoxProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam);
  static void PaintPicture(HWND picture, HDC dc, void* form);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  bool OnCreate();
  void OnCommand(int id, int notification, HWND control);
  LRESULT OnNotify(const NMHDR& header);

  // Handlers.
  void ResponseButtonClick();
  void ResponsePopupChoice(ResponseChoice choice);
  void ManualKeyImageClick();
  void KeystrokeBoxEnter();
  void KeystrokeBoxExit();
  void KeystrokeBoxOnKeyDown(UINT key);
  void KeystrokeBoxKeyUp(UINT key);
  void UserActionBoxChange();
  void TargetAppOnClick();
  void WheelUDClick(bool up);
  void ShuttleImageOnClick();
  void UndoButtonClick();
  void SpeedButton1Click();
  void OKButtonClick();
  void Quitwithoutsaving1Click();
  bool ControlFormOnCloseQuery();
  void ControlFormOnClose();
  void ShowAboutBox();
  void OrvanelRingDeckHelp1Click();
  void SpeedButton2Click();
  void ExportAsText();

  // Live device selection: the report stream while the application is in front.
  void OnAppActivate();
  void OnAppDeactivate();
  LRESULT ReportWindowProc(WPARAM wParam, LPARAM lParam);
  void TargetAppBoxDropDown();
  void TargetAppBoxExit();

  // Operations on whole sets.
  void NewPreferences1Click();
  void NewPreferences();
  void Changecurrentpropertyname1Click();
  void TargetAppEditBoxKeyUp(UINT key);
  void TargetAppEditBoxExit();
  void OnChangeTargetApp();
  void DeletePreferences1Click();
  void Importpreferences1Click();
  void Exportpreferences1Click();
  bool LocateTargetApplication(SettingsRecord& record);
  void TargetAppPopupPopup();
  // After an operation that saved and reloaded: the refilled box, user action 0 of the
  // current set, or the error box of a failed save.
  void ShowSetOperationResult(SetOperationResult result);
  // A save dialog of the window; false when cancelled.
  bool RunSaveDialog(std::string& file, const std::string& filter, const char* extension);

  // "store the edited action" with the window's side of a refusal; false stops the caller.
  bool StoreEditedAction();
  bool SaveSettings();
  void LoadSettingsAtStart();
  void FillTargetAppBox();
  // Copies the editor's view into the controls.
  void Render();
  void RenderKeystrokeBox();
  void RefreshSettingsStatus();
  bool Confirm(QuitQuestion question);
  void ErrorBox(int textId, int captionId, UINT flags = 0);
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  void AddHints();
  void SetBoldFonts();
  void LoadPictures();

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  int dpi_ = 96;
  HFONT font_ = nullptr;
  HFONT boldFont_ = nullptr;
  HMENU mainMenu_ = nullptr;
  HMENU responseMenu_ = nullptr;
  HMENU manualKeyMenu_ = nullptr;
  HMENU targetAppMenu_ = nullptr;
  HBITMAP device_ = nullptr;
  HBITMAP mask_ = nullptr;
  std::vector<TemplateFrame> frames_;      // the panels
  std::vector<std::uint8_t> maskPixels_;  // the mask's values, top row first
  int shownHighlight_ = -2;
  std::array<HBITMAP, 15> highlights_{};
  HBITMAP logo_ = nullptr;
  HHOOK keyboardHook_ = nullptr;
  WNDPROC keystrokeBoxDefault_ = nullptr;
  bool rendering_ = false;
  TForm2* about_ = nullptr;
  TForm3* createDialog_ = nullptr;
  WNDPROC targetAppEditBoxDefault_ = nullptr;
  bool renaming_ = false;
  UINT renameKeyPressed_ = 0;  // Enter or Escape pressed in the rename box, until released
  std::string importDirectory_;  // the import dialog's initial folder, set at its first use

  LiveSelection live_;
  bool streamTaken_ = false;  // between activation and deactivation
  std::int32_t previousListener_ = kNoPreviousListener;
  UINT reportNotify_ = 0;
  std::function<bool(UINT, HWND)> channelHandler_;

  ringdeck::win32::Win32FileSystem files_;
  Win32PeerMessenger peers_;
  SettingsStore store_{files_, peers_};
  WindowCaptions captions_;
  LayoutCharTable layoutChars_;
  ActionEditor editor_{store_, captions_, layoutChars_};
  QuitRules quit_;
};

// The picture control of the main window and the about box: draws a bitmap scaled to its size
// and reports a click to its parent as STN_CLICKED.
bool RegisterPictureClass(HINSTANCE instance);
inline constexpr const char* kPictureClass = "RingDeckPicture";
// Gives a picture control its bitmap, or a painter that draws it instead.
void SetPictureBitmap(HWND picture, HBITMAP bitmap);
using PicturePainter = void (*)(HWND picture, HDC dc, void* context);
void SetPicturePainter(HWND picture, PicturePainter painter, void* context);
// Draws bitmap stretched over rect (halftone, so scaled artwork stays smooth).
void DrawBitmap(HDC dc, HBITMAP bitmap, const RECT& rect);

}  // namespace ringdeck::panel::win32
