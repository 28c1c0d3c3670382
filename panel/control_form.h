// Rules of the main window that are not the editor's: how it may close, and where on the
// device picture a click landed. The window (panel/win32/Unit1) asks these and does what they say.
#pragma once

#include <functional>
#include <optional>

namespace ringdeck::panel {

enum class QuitQuestion { SureToQuit, SureToQuitWithoutSaving };
// Shows the confirm box with the question; true for OK.
using Confirm = std::function<bool(QuitQuestion)>;

class QuitRules {
 public:
  bool closeConfirmed = false;

  // Any request to close the window (close box, system menu, Alt+F4): allowed once a quit was
  // confirmed, otherwise only when the user agrees to lose what was not saved.
  bool CloseQuery(const Confirm& confirm) const {
    return closeConfirmed || confirm(QuitQuestion::SureToQuitWithoutSaving);
  }
  // "OK" and "&Quit", after the edit was stored and the file saved (or the save reported its
  // error): true when the window is to close.
  bool QuitWithSaving(const Confirm& confirm) {
    if (confirm(QuitQuestion::SureToQuit)) closeConfirmed = true;
    return closeConfirmed;
  }
  // "Quit &Without Saving".
  bool QuitWithoutSaving(const Confirm& confirm) {
    if (confirm(QuitQuestion::SureToQuitWithoutSaving)) closeConfirmed = true;
    return closeConfirmed;
  }
};

struct PicturePoint {
  int x;
  int y;
};

// The device picture's own pixel under the cursor. The picture is drawn scaled by dpi / 96 at
// pictureLeft, pictureTop on the screen; a point off the picture is nothing.
std::optional<PicturePoint> CursorToPicturePoint(int cursorX, int cursorY, int pictureLeft,
                                                 int pictureTop, int dpi);

}  // namespace ringdeck::panel
