// Setup preparation: run by the installation before the programs are put in place. Refuses to
// go on while a program of the suite runs, removes pending-rename files older Windows versions
// act on at the next start, and makes sure the settings file exists and is valid, filling it from
// the default file shipped beside setupprep. Every decision is here; the platform sits behind
// the small interfaces below.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "file_access.h"

namespace ringdeck::setup {

// Exit codes of setupprep.exe.
inline constexpr int kExitDone = 0;    // all done, nothing needed, or the user declined
inline constexpr int kExitFailed = -1;  // refused or failed

inline constexpr std::string_view kRunningText =
    "A previous version of this software seems to be already running.\n"
    "Please unininstall the old version before installing this one.";
inline constexpr std::string_view kCannotContinueCaption = "Setup Cannot Continue";
inline constexpr std::string_view kInvalidFileText =
    "An invalid settings file was found. \nDo you want to overwrite it with the default one?";
inline constexpr std::string_view kInvalidFileCaption = "Invalid settings file found.";
inline constexpr std::string_view kDefaultFileErrorText =
    "There was an error creating or accessing default settings file.";

inline constexpr std::string_view kDefaultFileBaseName = "OrvanelRingDeck.pref";
inline constexpr std::string_view kWininitIni = "\\wininit.ini";
inline constexpr std::string_view kWininitBak = "\\wininit.bak";

// What the system says about itself.
class PlatformInfo {
 public:
  virtual ~PlatformInfo() = default;
  // The platform identifier is 2 (the NT family).
  virtual bool isNtFamily() = 0;
  // Directories without a trailing backslash; empty when they cannot be had.
  virtual std::string systemDirectory() = 0;
  virtual std::string windowsDirectory() = 0;
  // The full path of setupprep's own program file; empty when it cannot be had.
  virtual std::string programFile() = 0;
};

// Top-level windows by which the programs of the suite are recognised.
class WindowFinder {
 public:
  virtual ~WindowFinder() = default;
  virtual bool classExists(std::string_view windowClass) = 0;
  virtual bool titleExists(std::string_view title) = 0;
};

// Message boxes without owner window.
class UserPrompts {
 public:
  virtual ~UserPrompts() = default;
  // Error icon, OK button.
  virtual void showError(std::string_view text, std::string_view caption) = 0;
  // Question icon, OK and Cancel with Cancel the default; true when the user chose OK.
  virtual bool confirm(std::string_view text, std::string_view caption) = 0;
};

struct SetupEnvironment {
  PlatformInfo& platform;
  WindowFinder& windows;
  UserPrompts& prompts;
  FileSystem& files;
};

// The whole run; the exit code.
int runSetupPrep(SetupEnvironment& env);

// --- The steps, for the run and for tests ---

// A window of the engine, the helper or the control panel exists.
bool suiteIsRunning(WindowFinder& windows);

// "OrvanelRingDeck.pref" followed by "2k" on the NT family and "98" otherwise.
std::string defaultFileName(bool ntFamily);

// The folder of a program file, up to and including its last backslash (or slash); empty when
// the path has none.
std::string folderOf(std::string_view programFile);

enum class TargetState {
  Missing,  // cannot be opened for reading, or shorter than a header
  Invalid,  // wrong magic
  Single,   // valid header and exactly one whole record
  Other,    // valid header and no or several whole records
};
TargetState checkTarget(FileSystem& files, const std::string& targetPath);

// Creates the target anew holding the standard header alone.
bool createTarget(FileSystem& files, const std::string& targetPath);

// Appends the default file's records (all of them, or all but the first) to the target.
// Fails when the default file cannot be opened, is shorter than a header and one record or has
// a wrong magic, or when the target cannot be opened or written; a short read of the default
// file ends the copy without failure. Bytes behind the target's last whole record are cut off
// first so that the added records stay on the record grid.
enum class FirstRecord { Include, Skip };
bool appendDefaultRecords(FileSystem& files, const std::string& defaultPath,
                          const std::string& targetPath, FirstRecord first);

}  // namespace ringdeck::setup
