#include "helper_core.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "app_key.h"
#include "settings_file.h"
#include "whole_file_save.h"

namespace ringdeck::helper {
namespace {

// The leading part of a record the helper needs: name and target application.
constexpr std::size_t kRecordHeadSize = offsetof(SettingsRecord, targetApp) + 33;
static_assert(kRecordHeadSize == 69);

constexpr std::string_view kTrayWindowClass = "Shell_TrayWnd";
// The focus window and up to 31 of its ancestors are looked at.
constexpr std::size_t kMaxAncestry = 32;

struct RecordHead {
  char name[32];
  char targetApp[33];
};

// Reads name and target application of the first count records, in file order, into f; false
// on an I/O failure, a file that shrank while it was read, or when f says stop.
template <typename F>
bool forEachRecordHead(FileAccess& file, std::uint32_t count, F&& f) {
  std::uint8_t head[kRecordHeadSize];
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t offset = kHeaderSize + static_cast<std::uint64_t>(i) * kRecordSize;
    const auto got = file.readAt(offset, head);
    if (!got || *got != sizeof head) return false;
    RecordHead r;
    std::memcpy(r.name, head + offsetof(SettingsRecord, name), sizeof r.name);
    std::memcpy(r.targetApp, head + offsetof(SettingsRecord, targetApp), sizeof r.targetApp);
    if (!f(i, r)) return false;
  }
  return true;
}

}  // namespace

TooltipField tooltipField(std::string_view text) {
  TooltipField tip;
  tip.present = !text.empty();
  if (!tip.present) return tip;  // an empty view may have no data at all
  if (text.size() <= 63) {
    std::memcpy(tip.text.data(), text.data(), text.size());
  } else {
    std::memcpy(tip.text.data(), text.data(), 60);
    std::memcpy(tip.text.data() + 60, "...", 3);
  }
  return tip;
}

struct HelperCore::Tables {
  explicit Tables(std::size_t limit) : arena(limit), map(arena) {}
  Arena arena;
  AppSetMap map;
  // One 32-byte label per record, in file order.
  char (*names)[32] = nullptr;
  std::uint32_t count = 0;
};

HelperCore::HelperCore(HelperMode mode, Ports ports, std::string_view ownProgramName)
    : mode_(mode),
      ports_(std::move(ports)),
      ownName_(upperCaseAscii(ownProgramName.substr(0, kMaxAppNameLength))) {}

HelperCore::~HelperCore() = default;

bool HelperCore::start() {
  if (mode_ == HelperMode::Plain) return readPlain();
  if (!readAutoSwitch()) return false;
  buildMenuFor(kGlobalKey);
  return true;
}

void HelperCore::showInitialIcon() {
  if (ports_.engine.findEngine()) {
    setUsual(IconOperation::Add, IconImage::Normal, kTipWaiting);
    // The engine answers with Status.Notify while this send still waits.
    ports_.engine.sendStatusRequest();
  } else {
    setUsual(IconOperation::Add, IconImage::Crossed, kTipNoEngine);
  }
}

void HelperCore::removeIcon() { setIcon(IconOperation::Delete, IconImage::Normal, {}); }

void HelperCore::appendPanelEntry(MenuModel& menu) {
  menu.push_back(MenuEntry{true, 0, {}, false});
  menu.push_back(MenuEntry{false, kCommandOpenPanel, std::string(kOpenPanelLabel), false});
}

bool HelperCore::readPlain() {
  std::vector<std::uint8_t> recovered;  // a save cut short: the content of its recovery copy
  auto file = openWholeSettings(ports_.files, ports_.settingsPath, OpenMode::ReadOnlyExisting, recovered);
  const auto size = file ? file->size() : std::nullopt;
  MenuModel menu;
  const bool ok = size && forEachRecordHead(*file, recordCountForSize(*size),
                                            [&](std::uint32_t i, const RecordHead& r) {
    std::string label = i == 0 ? std::string(kPlainGlobalLabel) : std::string(fieldText(r.name));
    menu.push_back(MenuEntry{false, kCommandFirstSet + i, std::move(label), false});
    return true;
  });
  if (!ok) {
    // The menu of the last good read stays.
    ports_.alerts.cannotOpenSettings();
    return false;
  }
  setEntries_ = static_cast<std::uint32_t>(menu.size());
  appendPanelEntry(menu);
  menu_ = std::move(menu);
  return true;
}

bool HelperCore::readAutoSwitch() {
  // Everything of the previous read goes first, whatever this one brings: nothing of it may be
  // used again, so a failed read leaves no map at all.
  tables_.reset();
  // Not even the labels of the old menu stay on offer (a message box below lets the user open
  // the menu meanwhile).
  buildMenuFor({});
  std::vector<std::uint8_t> recovered;  // a save cut short: the content of its recovery copy
  auto file = openWholeSettings(ports_.files, ports_.settingsPath, OpenMode::ReadOnlyExisting, recovered);
  const auto size = file ? file->size() : std::nullopt;
  if (!size) {
    ports_.alerts.cannotOpenSettings();
    return false;
  }
  auto tables = std::make_unique<Tables>(arenaLimit_);
  tables->count = recordCountForSize(*size);
  if (tables->count > 0) {
    tables->names = tables->arena.makeArray<char[32]>(tables->count);
    if (!tables->names) return false;  // no memory: no map, no message
  }
  bool outOfMemory = false;
  const bool ok = forEachRecordHead(*file, tables->count, [&](std::uint32_t i, const RecordHead& r) {
    AppSetList* list = tables->map.listFor(applicationKey(fieldText(r.targetApp)));
    if (!list || !list->append(tables->arena, i)) {
      outOfMemory = true;
      return false;
    }
    if (r.name[0] == '\0') {
      std::memcpy(tables->names[i], kUnnamedLabel.data(), kUnnamedLabel.size());
    } else {
      std::memcpy(tables->names[i], r.name, sizeof r.name);
    }
    return true;
  });
  if (!ok) {
    if (!outOfMemory) ports_.alerts.cannotOpenSettings();
    return false;
  }
  tables_ = std::move(tables);
  return true;
}

void HelperCore::buildMenuFor(std::string_view key) {
  currentList_ = nullptr;
  if (tables_) {
    currentList_ = tables_->map.find(key);
    if (!currentList_) currentList_ = tables_->map.find(kGlobalKey);
  }
  MenuModel menu;
  if (currentList_) {
    menu.reserve(currentList_->size() + 2);
    currentList_->forEach([&](std::uint32_t p, std::uint32_t record) {
      // A label is the whole 32-byte field: a name without terminator still ends there.
      menu.push_back(
          MenuEntry{false, kCommandFirstSet + p, std::string(fieldText(tables_->names[record])),
                    false});
    });
  }
  setEntries_ = static_cast<std::uint32_t>(menu.size());
  appendPanelEntry(menu);
  menu_ = std::move(menu);
}

MenuEntry* HelperCore::setEntry(std::int64_t position) {
  if (position < 0 || position >= setEntries_) return nullptr;
  return &menu_[static_cast<std::size_t>(position)];
}

void HelperCore::check(std::int64_t position, bool on) {
  if (MenuEntry* e = setEntry(position)) e->checked = on;
}

std::string HelperCore::checkedLabel() {
  const MenuEntry* e = setEntry(checked_);
  return e ? e->label : std::string();
}

void HelperCore::setIcon(IconOperation op, IconImage image, std::string_view text) {
  const TooltipField tip = tooltipField(text);
  ports_.icon.update(op, image, tip);
  icon_.present = op != IconOperation::Delete;
  icon_.image = image;
  if (tip.present) icon_.tip.assign(tip.text.data(), std::strlen(tip.text.data()));
}

void HelperCore::setUsual(IconOperation op, IconImage image, std::string_view text) {
  usualImage_ = image;
  if (!text.empty()) usualTip_.assign(text);
  if (warningWanted()) {
    showWarning(op);
  } else if (warningShown_) {
    // The usual text comes back even when this event brings none of its own.
    warningShown_ = false;
    setIcon(op, image, usualTip_);
  } else {
    setIcon(op, image, text);
  }
}

bool HelperCore::warningWanted() const {
  return usualImage_ == IconImage::Normal && keysBlocked(reach_);
}

void HelperCore::showWarning(IconOperation op) {
  setIcon(op, IconImage::Normal, reachWarningTip(frontName_));
  warningShown_ = true;
  const std::string key = upperCaseAscii(frontName_);
  if (std::find(warnedPrograms_.begin(), warnedPrograms_.end(), key) != warnedPrograms_.end()) {
    return;
  }
  warnedPrograms_.push_back(key);
  const std::string title = reachBalloonTitle(frontName_);
  const std::string text = reachBalloonText(frontName_);
  lastBalloon_ = title + ": " + text;
  ports_.icon.balloon(title, text);
}

void HelperCore::refreshWarning() {
  if (!icon_.present) return;
  if (warningWanted()) {
    if (!warningShown_ || icon_.tip != reachWarningTip(frontName_)) {
      showWarning(IconOperation::Modify);
    }
  } else if (warningShown_) {
    warningShown_ = false;
    setIcon(IconOperation::Modify, usualImage_, usualTip_);
  }
}

void HelperCore::checkFront(ForegroundProbe& probe, WindowId window) {
  ForegroundProbe::Program program = probe.programOf(window);
  const ForegroundProbe::Engine engine = probe.engineIntegrity();
  reach_.helper = probe.ownIntegrity();
  reach_.engineRunning = engine.running;
  reach_.engine = engine.level;
  reach_.front = program.level;
  frontName_ = std::move(program.fileName);
  refreshWarning();
}

void HelperCore::showStatus(std::uint32_t deviceCount) {
  if (deviceCount != 0) {
    setUsual(IconOperation::Modify, IconImage::Normal, checkedLabel());
  } else {
    setUsual(IconOperation::Modify, IconImage::Crossed, kTipDisconnected);
  }
}

void HelperCore::pick(std::uint32_t position) {
  // Only entries of the shown menu can be picked; anything else sent as a command is ignored.
  if (position >= setEntries_) return;
  if (mode_ == HelperMode::AutoSwitch && !currentList_) return;
  if (!ports_.engine.findEngine()) {
    setUsual(IconOperation::Modify, IconImage::Crossed, kTipNoEngine);
    return;
  }
  std::uint32_t record = position;
  if (mode_ == HelperMode::AutoSwitch) {
    const auto r = currentList_->at(position);
    if (!r) return;
    currentList_->setSelection(position);
    record = *r;
  }
  // The check mark moves when the engine's Status.Notify comes back, inside this send.
  ports_.engine.sendChangeCurrentPreference(record);
}

void HelperCore::onStatusNotify(std::uint32_t record, std::uint32_t deviceCount) {
  // Only the engine knows the devices (a reload's lParam counts records).
  reach_.deviceCount = deviceCount;
  if (mode_ == HelperMode::Plain) {
    check(checked_, false);
    checked_ = static_cast<std::int32_t>(record);
    check(record, true);
  } else {
    if (!nothingChecked_) check(checked_, false);
    nothingChecked_ = false;
    const auto p = currentList_ ? currentList_->positionOf(record) : std::nullopt;
    if (p && *p <= INT32_MAX) {
      checked_ = static_cast<std::int32_t>(*p);
      check(checked_, true);
    } else {
      checked_ = -1;
      nothingChecked_ = true;
    }
  }
  showStatus(deviceCount);
}

void HelperCore::onReload(std::uint32_t panelRecord, std::uint32_t recordCount) {
  if (mode_ == HelperMode::Plain) {
    check(checked_, false);
    if (static_cast<std::int32_t>(panelRecord) == checked_) checked_ = 0;
    readPlain();
    check(checked_, true);
  } else {
    // Selections start again at 0; the check mark waits for the engine's Status.Notify.
    readAutoSwitch();
    buildMenuFor(currentKey_);
  }
  showStatus(recordCount);
}

WindowId HelperCore::focusWindow(ForegroundProbe& probe) {
  const WindowId foreground = probe.foregroundWindow();
  if (foreground == lastForeground_) {
    // The window found for this foreground window last time, so that a focus inside a child
    // window is not taken for a new window at every tick.
    return lastFocusResult_ ? lastFocusResult_ : foreground;
  }
  lastForeground_ = foreground;
  const FocusChain chain = probe.focusChain(foreground);
  WindowId result = chain.focus;
  const std::size_t n = std::min(chain.classNames.size(), kMaxAncestry);
  if (result && std::find(chain.classNames.begin(), chain.classNames.begin() + n,
                          kTrayWindowClass) != chain.classNames.begin() + n) {
    // The taskbar never switches, and clicking it again must be looked at again.
    result = 0;
    lastForeground_ = 0;
  }
  lastFocusResult_ = result;
  return result;
}

void HelperCore::sendRememberedSet() {
  if (!currentList_) return;
  if (const auto record = currentList_->at(currentList_->selection())) {
    ports_.engine.sendChangeCurrentPreference(*record);
  }
}

void HelperCore::onTimer(ForegroundProbe& probe) {
  const WindowId window = focusWindow(probe);
  // Whether the keys reach the window in front matters whether AutoSwitch runs or rests.
  if (window != 0 && window != lastChecked_) {
    lastChecked_ = window;
    checkFront(probe, window);
  }
  if (mode_ != HelperMode::AutoSwitch || !tables_) return;
  if (window == 0 || window == lastHandled_) return;
  const std::string name = applicationNameFromModules(probe.moduleNames(window));
  if (name.empty()) {
    currentKey_.clear();
    lastHandled_ = window;
    buildMenuFor(currentKey_);
    sendRememberedSet();
    return;
  }
  // The helper's own windows (its menu, its message boxes) are looked at again next tick.
  if (name == ownName_) return;
  lastHandled_ = window;
  if (name == currentKey_) return;
  nothingChecked_ = true;
  currentKey_ = name;
  buildMenuFor(currentKey_);
  sendRememberedSet();
}

std::string describeHelper(const HelperCore& core) {
  std::string out;
  out += core.mode() == HelperMode::AutoSwitch ? "mode=autoswitch\n" : "mode=plain\n";
  out += "icon=";
  out += core.icon().present ? std::to_string(static_cast<int>(core.icon().image)) : "none";
  out += "\ntip=" + core.icon().tip + "\n";
  out += "balloon=" + core.lastBalloon() + "\n";
  out += "devices=" + std::to_string(core.deviceCount()) + "\n";
  out += "key=" + core.currentKey() + "\n";
  for (const MenuEntry& e : core.menu()) {
    if (e.separator) {
      out += "-\n";
    } else {
      out += std::to_string(e.command) + (e.checked ? " [x] " : " [ ] ") + e.label + "\n";
    }
  }
  return out;
}

}  // namespace ringdeck::helper
