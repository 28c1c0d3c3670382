#include "factory_sets.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>

#include "settings_io.h"

namespace ringdeck::tools {
namespace {

struct KeyName {
  std::string_view name;
  std::uint8_t code;
};

// Virtual-key codes by the names the source file uses. Letters, digits and F-keys are added by
// rule in keyCodeOf().
constexpr std::array<KeyName, 50> kKeys{{
    {"Backspace", 0x08},    {"Tab", 0x09},          {"NumEnter", kKeypadEnter},
    {"Enter", 0x0D},        {"Pause", 0x13},        {"Esc", 0x1B},
    {"Space", 0x20},        {"PageUp", 0x21},       {"PageDown", 0x22},
    {"End", 0x23},          {"Home", 0x24},         {"Left", 0x25},
    {"Up", 0x26},           {"Right", 0x27},        {"Down", 0x28},
    {"PrintScreen", 0x2C},  {"Insert", 0x2D},       {"Delete", 0x2E},
    {"Num0", 0x60},         {"Num1", 0x61},         {"Num2", 0x62},
    {"Num3", 0x63},         {"Num4", 0x64},         {"Num5", 0x65},
    {"Num6", 0x66},         {"Num7", 0x67},         {"Num8", 0x68},
    {"Num9", 0x69},         {"NumMultiply", 0x6A},  {"NumPlus", 0x6B},
    {"NumMinus", 0x6D},     {"NumDecimal", 0x6E},   {"NumDivide", 0x6F},
    {"VolumeMute", 0xAD},   {"VolumeDown", 0xAE},   {"VolumeUp", 0xAF},
    {"MediaNext", 0xB0},    {"MediaPrevious", 0xB1}, {"MediaStop", 0xB2},
    {"MediaPlayPause", 0xB3}, {"Semicolon", 0xBA},  {"Equals", 0xBB},
    {"Comma", 0xBC},        {"Minus", 0xBD},        {"Period", 0xBE},
    {"Slash", 0xBF},        {"Backquote", 0xC0},    {"LeftBracket", 0xDB},
    {"Backslash", 0xDC},    {"RightBracket", 0xDD},
}};

struct ModifierName {
  std::string_view name;
  std::uint16_t bits;
};

constexpr std::array<ModifierName, 6> kModifiers{{{"Ctrl", ModControl},
                                                  {"Alt", ModAlt},
                                                  {"Shift", ModShift},
                                                  {"Win", ModWin},
                                                  {"Apps", ModApps},
                                                  {"AltGr", ModAltGr}}};

constexpr std::array<std::string_view, SlotIndex::ButtonCount> kButtonNames{
    "Top Left Button",          "Top Center Left Button",  "Top Center Right Button",
    "Top Right Button",         "Upper Left Button",       "Upper Center Left Button",
    "Upper Center Button",      "Upper Center Right Button", "Upper Right Button",
    "Lower Left Button",        "Lower Right Button",      "Bottom Left Button",
    "Bottom Right Button"};

std::optional<std::uint8_t> keyCodeOf(std::string_view name) {
  if (name.size() == 1 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9'))) {
    return static_cast<std::uint8_t>(name[0]);
  }
  if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F') {
    int n = 0;
    const auto [end, ec] = std::from_chars(name.data() + 1, name.data() + name.size(), n);
    if (ec == std::errc{} && end == name.data() + name.size() && n >= 1 && n <= 24) {
      return static_cast<std::uint8_t>(0x70 + n - 1);
    }
  }
  for (const KeyName& k : kKeys) {
    if (k.name == name) return k.code;
  }
  return std::nullopt;
}

std::string keyNameOf(std::uint8_t code) {
  if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9')) return std::string(1, char(code));
  if (code >= 0x70 && code <= 0x87) return "F" + std::to_string(code - 0x70 + 1);
  for (const KeyName& k : kKeys) {
    if (k.code == code) return std::string(k.name);
  }
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", code);
  return hex;
}

std::string modifierText(std::uint16_t bits) {
  std::string text;
  for (const ModifierName& m : kModifiers) {
    if (m.bits != ModAltGr && (bits & m.bits) != 0) text += std::string(m.name) + "+";
  }
  return text;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> words(std::string_view s) {
  std::vector<std::string_view> out;
  while (true) {
    s = trim(s);
    if (s.empty()) return out;
    const auto cut = s.find_first_of(" \t");
    out.push_back(s.substr(0, cut));
    if (cut == std::string_view::npos) return out;
    s.remove_prefix(cut);
  }
}

std::optional<int> number(std::string_view s) {
  int n = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
  if (ec != std::errc{} || end != s.data() + s.size()) return std::nullopt;
  return n;
}

std::optional<int> slotIndexOf(std::string_view name) {
  for (int i = 0; i < static_cast<int>(kSlotCount); ++i) {
    if (slotName(i) == name) return i;
  }
  return std::nullopt;
}

// Parses "Ctrl+Shift+Z" (key required) or "Ctrl+Shift" (no key allowed).
bool parseKeys(std::string_view text, bool wantKey, std::uint16_t& mods, std::uint8_t& key,
               std::string& error) {
  mods = 0;
  key = 0;
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const auto plus = text.find('+', start);
    parts.push_back(text.substr(start, plus == std::string_view::npos ? plus : plus - start));
    if (plus == std::string_view::npos) break;
    start = plus + 1;
  }
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    if (wantKey && last) {
      const auto code = keyCodeOf(parts[i]);
      if (!code) {
        error = "unknown key '" + std::string(parts[i]) + "'";
        return false;
      }
      key = *code;
      continue;
    }
    bool found = false;
    for (const ModifierName& m : kModifiers) {
      if (m.name == parts[i]) {
        mods |= m.bits;
        found = true;
      }
    }
    if (!found) {
      error = "unknown modifier '" + std::string(parts[i]) + "'";
      return false;
    }
  }
  return true;
}

bool parseAction(std::string_view text, ActionSlot& slot, std::string& error) {
  const auto w = words(text);
  if (w.empty()) {
    error = "missing action";
    return false;
  }
  slot = ActionSlot{};
  const std::string_view verb = w[0];
  auto expectCount = [&](std::size_t lo, std::size_t hi) {
    if (w.size() < lo || w.size() > hi) {
      error = "wrong number of words for '" + std::string(verb) + "'";
      return false;
    }
    return true;
  };
  if (verb == "none") return expectCount(1, 1);
  if (verb == "same-as-lower") {
    slot.kind = static_cast<std::uint16_t>(ActionKind::SameAsLower);
    return expectCount(1, 1);
  }
  if (verb == "key" || verb == "system-repeat") {
    if (!expectCount(2, 5)) return false;
    const bool system = verb == "system-repeat";
    slot.kind = static_cast<std::uint16_t>(system ? ActionKind::KeystrokeSystemRepeat
                                                  : ActionKind::Keystroke);
    slot.wheelNotches = -1;  // stored as 0xFF for keystrokes, like the control panel does
    slot.repeatPeriod = system ? kRepeatHold : kRepeatOnce;
    slot.syncRelease = 1;
    if (!parseKeys(w[1], true, slot.modifiers, slot.keyCode, error)) return false;
    bool timingGiven = false;
    for (std::size_t i = 2; i < w.size(); ++i) {
      if (w[i] == "deferred") {
        slot.syncRelease = 0;
      } else if (!system && !timingGiven && (w[i] == "once" || w[i] == "hold")) {
        slot.repeatPeriod = w[i] == "once" ? kRepeatOnce : kRepeatHold;
        timingGiven = true;
      } else if (!system && !timingGiven && w[i] == "repeat" && i + 1 < w.size()) {
        const auto n = number(w[++i]);
        if (!n || *n < 1 || *n > 65534) {
          error = "repeat period must be 1..65534 (units of 10 ms)";
          return false;
        }
        slot.repeatPeriod = static_cast<std::uint16_t>(*n);
        timingGiven = true;
      } else {
        error = "unexpected '" + std::string(w[i]) + "'";
        return false;
      }
    }
    return true;
  }
  if (verb == "modifiers") {
    if (!expectCount(2, 2)) return false;
    slot.kind = static_cast<std::uint16_t>(ActionKind::Modifiers);
    slot.wheelNotches = -1;
    slot.syncRelease = 1;
    if (!parseKeys(w[1], false, slot.modifiers, slot.keyCode, error)) return false;
    if (slot.modifiers == 0) {
      error = "no modifier to hold";
      return false;
    }
    return true;
  }
  if (verb == "scroll-up" || verb == "scroll-down") {
    if (!expectCount(2, 4)) return false;
    slot.kind = static_cast<std::uint16_t>(verb == "scroll-up" ? ActionKind::ScrollUp
                                                                : ActionKind::ScrollDown);
    const auto n = number(w[1]);
    if (!n || *n < 1 || *n > 127) {
      error = "wheel notches must be 1..127";
      return false;
    }
    slot.wheelNotches = static_cast<std::int8_t>(*n);
    slot.syncRelease = 1;
    if (w.size() == 3 || (w.size() == 4 && w[2] != "with")) {
      error = "expected 'with <modifiers>'";
      return false;
    }
    return w.size() == 2 || parseKeys(w[3], false, slot.modifiers, slot.keyCode, error);
  }
  if (verb == "open") {
    const std::string_view item = trim(trim(text).substr(4));
    if (item.empty() || item.size() > sizeof slot.itemPath - 1) {
      error = "item must be 1..31 characters";
      return false;
    }
    slot.kind = static_cast<std::uint16_t>(ActionKind::OpenItem);
    setItemPath(slot, item);
    return true;
  }
  error = "unknown action '" + std::string(verb) + "'";
  return false;
}

std::string periodText(std::uint16_t period) {
  const int ms = period * 10;
  if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
  if (ms >= 1000) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.2f s", ms / 1000.0);
    return buf;
  }
  return std::to_string(ms) + " ms";
}

std::string escapeCell(std::string_view s) {
  std::string out;
  for (const char c : s) {
    if (c == '|') out += '\\';
    out += c;
  }
  return out;
}


void appendText(std::string& to, std::string_view text) {
  if (!to.empty()) to += ' ';
  to += text;
}

bool parseSpeed(std::string_view rest, SpeedModel& speed, std::string& error) {
  const auto w = words(rest);
  if (w.empty()) {
    error = "expected 'transport' or 'moves'";
    return false;
  }
  speed = SpeedModel{};
  auto key = [&](std::string_view text, SpeedKey& k) {
    return parseKeys(text, true, k.modifiers, k.keyCode, error);
  };
  if (w[0] == "transport") {
    if (w.size() != 4) {
      error = "expected 'speed transport <faster> <reverse> <stop>'";
      return false;
    }
    speed.kind = SpeedKind::Transport;
    for (std::size_t i = 1; i < 4; ++i) {
      SpeedKey k;
      if (!key(w[i], k)) return false;
      speed.keys.push_back(k);
    }
    return true;
  }
  if (w[0] == "moves") {
    if (w.size() < 3 || w.size() % 2 == 0) {
      error = "expected 'speed moves <keys> <units> ...'";
      return false;
    }
    speed.kind = SpeedKind::Moves;
    for (std::size_t i = 1; i < w.size(); i += 2) {
      SpeedKey k;
      if (!key(w[i], k)) return false;
      const auto units = number(w[i + 1]);
      if (!units || *units == 0) {
        error = "units must be a nonzero number";
        return false;
      }
      k.units = *units;
      speed.keys.push_back(k);
    }
    return true;
  }
  error = "unknown speed kind '" + std::string(w[0]) + "'";
  return false;
}

bool parseFeel(std::string_view rest, Feel& feel, std::string& error) {
  const auto w = words(rest);
  std::size_t i = 0;
  auto expectWord = [&](std::string_view word) {
    if (i < w.size() && w[i] == word) {
      ++i;
      return true;
    }
    error = "expected 'feel out <7> back <7> flick <n> jump <n>'";
    return false;
  };
  auto expectNumber = [&](int& n) {
    const auto v = i < w.size() ? number(w[i]) : std::nullopt;
    if (!v) {
      error = "expected a number in 'feel'";
      return false;
    }
    n = *v;
    ++i;
    return true;
  };
  feel = Feel{};
  if (!expectWord("out")) return false;
  for (int& n : feel.out)
    if (!expectNumber(n)) return false;
  if (!expectWord("back")) return false;
  for (int& n : feel.back)
    if (!expectNumber(n)) return false;
  if (!expectWord("flick") || !expectNumber(feel.flick) || !expectWord("jump") ||
      !expectNumber(feel.jump))
    return false;
  if (i != w.size()) {
    error = "unexpected '" + std::string(w[i]) + "'";
    return false;
  }
  feel.given = true;
  return true;
}

std::string numberList(const std::array<int, 7>& values) {
  std::string out;
  for (const int v : values) out += (out.empty() ? "" : ", ") + std::to_string(v);
  return out;
}

std::string speedText(const SpeedModel& speed) {
  switch (speed.kind) {
    case SpeedKind::Transport:
      return "`" + keysText(speed.keys[0].modifiers, speed.keys[0].keyCode) +
             "` plays forward, one step faster each time; `" +
             keysText(speed.keys[1].modifiers, speed.keys[1].keyCode) +
             "` the same backward; `" + keysText(speed.keys[2].modifiers, speed.keys[2].keyCode) +
             "` stops. Speed below: steps above stop (1 = normal speed), negative backward.";
    case SpeedKind::Moves: {
      std::string out;
      for (const SpeedKey& k : speed.keys) {
        out += (out.empty() ? "`" : ", `") + keysText(k.modifiers, k.keyCode) + "` " +
               (k.units > 0 ? "+" : "") + std::to_string(k.units);
      }
      return out + ". Speed below: units moved in one second of holding.";
    }
    case SpeedKind::None:
      break;
  }
  return "not described";
}

}  // namespace

std::string_view variantSuffix(Variant v) { return v == Variant::Nt ? "2k" : "98"; }

std::string slotName(int index) {
  if (index == SlotIndex::JogLeft) return "Turn Jog Left";
  if (index == SlotIndex::JogRight) return "Turn Jog Right";
  for (int z = SlotIndex::MinZone; z <= SlotIndex::MaxZone; ++z) {
    if (index == SlotIndex::shuttleZone(z)) return "Shuttle Zone " + std::to_string(z);
  }
  for (int a = SlotIndex::MinZone; a < SlotIndex::MaxZone; ++a) {
    if (index == SlotIndex::transitionUp(a)) {
      return "Transition " + std::to_string(a) + " to " + std::to_string(a + 1);
    }
  }
  for (int a = SlotIndex::MaxZone; a > SlotIndex::MinZone; --a) {
    if (index == SlotIndex::transitionDown(a)) {
      return "Transition " + std::to_string(a) + " to " + std::to_string(a - 1);
    }
  }
  for (int b = 0; b < SlotIndex::ButtonCount; ++b) {
    if (index == SlotIndex::button(b)) return std::string(kButtonNames[b]);
  }
  return {};
}

std::string keysText(std::uint16_t modifiers, std::uint8_t keyCode) {
  return modifierText(modifiers) + keyNameOf(keyCode);
}

bool isLayoutDependentKey(std::uint8_t keyCode) {
  return (keyCode >= 0xBA && keyCode <= 0xC0) || (keyCode >= 0xDB && keyCode <= 0xDF) ||
         keyCode == 0xE2;
}

std::string describeAction(const ActionSlot& slot) {
  const std::string keys = keysText(slot.modifiers, slot.keyCode);
  const std::string release = slot.syncRelease ? "" : ", release deferred";
  switch (slot.actionKind()) {
    case ActionKind::None:
      return "nothing";
    case ActionKind::SameAsLower:
      return "same as lower zone";
    case ActionKind::Keystroke:
      if (slot.repeatPeriod == kRepeatOnce) return keys + release;
      if (slot.repeatPeriod == kRepeatHold) return keys + " held" + release;
      return keys + " every " + periodText(slot.repeatPeriod) + release;
    case ActionKind::KeystrokeSystemRepeat:
      return keys + " at keyboard repeat speed" + release;
    case ActionKind::Modifiers: {
      std::string mods = modifierText(slot.modifiers);
      if (!mods.empty()) mods.pop_back();
      return "hold " + mods;
    }
    case ActionKind::ScrollUp:
    case ActionKind::ScrollDown: {
      std::string mods = modifierText(slot.modifiers);
      return mods + "wheel " + (slot.actionKind() == ActionKind::ScrollUp ? "up " : "down ") +
             std::to_string(slot.wheelNotches);
    }
    case ActionKind::OpenItem:
      return "open " + std::string(fieldText(slot.itemPath));
    case ActionKind::ScrollLeft:
    case ActionKind::ScrollRight:
      break;
  }
  return "kind " + std::to_string(slot.kind);
}

ParseResult parseFactorySets(std::string_view source) {
  ParseResult result;
  std::set<int> slotsSeen;
  int lineNo = 0;
  auto fail = [&](const std::string& message) {
    result.error = "line " + std::to_string(lineNo) + ": " + message;
    result.sets.clear();
    return result;
  };
  while (!source.empty()) {
    ++lineNo;
    const auto eol = source.find('\n');
    const std::string_view line = trim(source.substr(0, eol));
    source.remove_prefix(eol == std::string_view::npos ? source.size() : eol + 1);
    if (line.empty() || line.front() == '#') continue;

    const auto firstWordEnd = line.find_first_of(" \t");
    const std::string_view head = line.substr(0, firstWordEnd);
    const std::string_view rest =
        firstWordEnd == std::string_view::npos ? std::string_view{} : trim(line.substr(firstWordEnd));
    if (head == "set") {
      if (rest.empty() || rest.size() > 31) return fail("set name must be 1..31 characters");
      FactorySet set;
      setName(set.record, rest);
      result.sets.push_back(set);
      slotsSeen.clear();
      continue;
    }
    if (result.sets.empty()) return fail("expected 'set <name>' first");
    FactorySet& set = result.sets.back();
    if (head == "target") {
      if (rest.empty() || rest.size() > 32) return fail("target must be 1..32 characters");
      setTargetApp(set.record, rest);
      continue;
    }
    if (head == "about" || head == "source") {
      if (rest.empty()) return fail("expected text after '" + std::string(head) + "'");
      appendText(head == "about" ? set.about : set.source, rest);
      continue;
    }
    if (head == "speed") {
      std::string error;
      if (!parseSpeed(rest, set.speed, error)) return fail(error);
      continue;
    }
    if (head == "feel") {
      std::string error;
      if (set.speed.kind == SpeedKind::None) return fail("'feel' needs a 'speed' line before it");
      if (!parseFeel(rest, set.feel, error)) return fail(error);
      continue;
    }
    if (head == "files") {
      const auto w = words(rest);
      if (w.empty()) return fail("expected '2k' and/or '98'");
      for (const std::string_view f : w) {
        if (f == "2k") {
          set.inNt = true;
        } else if (f == "98") {
          set.inWin9x = true;
        } else {
          return fail("unknown default file '" + std::string(f) + "'");
        }
      }
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return fail("expected '<control> = <action>'");
    const std::string_view control = trim(line.substr(0, equals));
    const auto index = slotIndexOf(control);
    if (!index) return fail("unknown control '" + std::string(control) + "'");
    if (!slotsSeen.insert(*index).second) return fail("'" + std::string(control) + "' given twice");
    std::string_view action = line.substr(equals + 1);
    std::string_view comment;
    if (const auto semi = action.find(';'); semi != std::string_view::npos) {
      comment = trim(action.substr(semi + 1));
      action = action.substr(0, semi);
    }
    if (comment.size() > 31) return fail("comment longer than 31 characters");
    ActionSlot& slot = set.record.slots[*index];
    std::string error;
    if (!parseAction(action, slot, error)) return fail(error);
    const bool zone = *index >= SlotIndex::shuttleZone(SlotIndex::MinZone) &&
                      *index <= SlotIndex::shuttleZone(SlotIndex::MaxZone) &&
                      *index != SlotIndex::shuttleZone(0);
    if (slot.actionKind() == ActionKind::SameAsLower && !zone) {
      return fail("same-as-lower only fits a shuttle zone other than 0");
    }
    setComment(slot, comment);
  }

  // Whole-file rules: every set goes somewhere, each file starts with one global set, and
  // names are unique within a file (the control panel tells sets apart by name).
  lineNo = 0;
  for (const Variant v : {Variant::Nt, Variant::Win9x}) {
    std::set<std::string_view> names;
    bool first = true;
    for (const FactorySet& set : result.sets) {
      if (!set.inNt && !set.inWin9x) {
        return fail("set '" + std::string(fieldText(set.record.name)) + "' goes into no file");
      }
      if (!(v == Variant::Nt ? set.inNt : set.inWin9x)) continue;
      if (first != hasNoTargetApp(set.record)) {
        return fail(std::string("the ") + std::string(variantSuffix(v)) +
                    " file must start with the one set that has no target: '" +
                    std::string(fieldText(set.record.name)) + "'");
      }
      if (!names.insert(fieldText(set.record.name)).second) {
        return fail("two sets named '" + std::string(fieldText(set.record.name)) + "'");
      }
      first = false;
    }
    if (first) return fail(std::string("the ") + std::string(variantSuffix(v)) + " file is empty");
  }
  return result;
}

std::vector<SettingsRecord> recordsFor(const std::vector<FactorySet>& sets, Variant v) {
  std::vector<SettingsRecord> records;
  for (const FactorySet& set : sets) {
    if (!(v == Variant::Nt ? set.inNt : set.inWin9x)) continue;
    records.push_back(set.record);
    records.back().factoryChecksum = computeFactoryChecksum(records.back());
  }
  return records;
}

std::string shippedSetsMarkdown(const std::vector<FactorySet>& sets) {
  std::string md =
      "# Shipped settings sets\n\n"
      "The installation's setup step copies these sets from the default settings files\n"
      "`OrvanelRingDeck.pref2k` (Windows NT family) and `OrvanelRingDeck.pref98` (Windows\n"
      "95/98/Me) into the settings file. Each carries its factory checksum, so the control panel\n"
      "shows \"(Factory settings)\" until it is edited. The files are generated at build time from\n"
      "`tools/factory-sets.txt`; this page is generated from the same source\n"
      "(`make_factory_sets --markdown tools/factory-sets.txt`) and a test keeps the two in step.\n\n"
      "Keystrokes are typed once unless the table says otherwise, and are released the moment\n"
      "the control is released. Controls not listed do nothing.\n\n"
      "## How the shuttle ring is laid out\n\n"
      "When the ring moves, the engine releases the zone it leaves, fires the one transition out of\n"
      "that zone (toward the new one) and presses the zone it enters. A move over several zones in\n"
      "one device report fires only the transition out of the old zone, and the ring springs back\n"
      "to the centre that way. So no set counts on transitions to add up speed on the way out;\n"
      "each set is built from one of two patterns:\n\n"
      "- Transport (programs with J/K/L-style keys): entering a zone away from the centre types the\n"
      "  play key once, one step faster; turning back toward the centre stops (the transition out\n"
      "  of the zone left) and the zone entered plays again at normal speed; the centre stops, and\n"
      "  so does leaving the first zone, so crossing to the other side starts from a stop. A\n"
      "  flick to the end and back, or a spring back from anywhere, leaves the program stopped; a\n"
      "  jump out plays at normal speed and each further zone adds a step. Zones marked \"same as\n"
      "  lower zone\" spread the program's few speed steps over the ring.\n"
      "- Moves (programs without such keys, and the global set): each zone repeats a key that moves\n"
      "  by a fixed amount, further out a bigger move or a shorter period, so the speed depends on\n"
      "  the position alone. Leaving a zone toward the centre types the opposite move once, which\n"
      "  takes back the move typed on entering: a flick leaves the program where it was.\n\n"
      "Each set's table \"Ring move\" is what a test plays through the engine core on the set.\n";
  for (const FactorySet& set : sets) {
    md += "\n## " + std::string(fieldText(set.record.name)) + "\n\n";
    md += "- Target application: ";
    md += hasNoTargetApp(set.record) ? "none (the global set, used for every other program)"
                                     : "`" + std::string(fieldText(set.record.targetApp)) + "`";
    md += "\n- Default files: ";
    md += set.inNt && set.inWin9x ? "both" : set.inNt ? "NT family (`2k`) only" : "95/98/Me (`98`) only";
    if (!set.source.empty()) md += "\n- Shortcuts from: " + set.source;
    std::string layoutKeys;
    for (int i = 0; i < static_cast<int>(kSlotCount); ++i) {
      const ActionSlot& slot = set.record.slots[i];
      const auto kind = slot.actionKind();
      if ((kind == ActionKind::Keystroke || kind == ActionKind::KeystrokeSystemRepeat) &&
          isLayoutDependentKey(slot.keyCode)) {
        const std::string key = "`" + keyNameOf(slot.keyCode) + "`";
        if (layoutKeys.find(key) == std::string::npos) layoutKeys += (layoutKeys.empty() ? "" : ", ") + key;
      }
    }
    md += "\n- Keys that type another character on other keyboard layouts: ";
    md += layoutKeys.empty() ? "none" : layoutKeys + " (sent as the US key position)";
    if (!set.about.empty()) md += "\n\n" + set.about;
    if (set.speed.kind != SpeedKind::None) md += "\n\nSpeed keys: " + speedText(set.speed);
    if (set.feel.given) {
      md += "\n\n| Ring move (the left side mirrors it) | Speed |\n|---|---|\n";
      md += "| out one zone at a time, +1 … +7 | " + numberList(set.feel.out) + " |\n";
      md += "| back one zone at a time, +6 … 0 | " + numberList(set.feel.back) + " |\n";
      md += "| flick to +7 and straight back, at rest | " + std::to_string(set.feel.flick) + " |\n";
      md += "| jump from 0 to +5 in one report | " + std::to_string(set.feel.jump) + " |\n";
    }
    md += "\n\n| Control | Action | What it does |\n|---|---|---|\n";
    for (int i = 0; i < static_cast<int>(kSlotCount); ++i) {
      const ActionSlot& slot = set.record.slots[i];
      if (slot.actionKind() == ActionKind::None) continue;
      md += "| " + slotName(i) + " | " + escapeCell(describeAction(slot)) + " | " +
            escapeCell(fieldText(slot.comment)) + " |\n";
    }
  }
  return md;
}

}  // namespace ringdeck::tools
