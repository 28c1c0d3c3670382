// The settings file shared by all four programs: a 16-byte header followed by whole records of
// 6512 bytes. The structs below are the exact byte layout (little-endian, no padding), so a
// record is copied whole between file, shared image and exported files.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace ringdeck {

static_assert(std::endian::native == std::endian::little,
              "the settings layout is stored in host order and must be little-endian");

inline constexpr std::uint32_t kSettingsMagic = 0x436A2673;  // bytes 73 26 6A 43, "s&jC"
inline constexpr std::uint32_t kSettingsFormatVersion = 1;
inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::size_t kRecordSize = 6512;
inline constexpr std::size_t kSlotCount = 80;
inline constexpr std::size_t kSlotSize = 80;
// An exported set: the header and exactly one record.
inline constexpr std::size_t kExportedFileSize = kHeaderSize + kRecordSize;
// The value the checksum field holds while a factory checksum is computed.
inline constexpr std::uint32_t kFactoryChecksumPlaceholder = 0x019CA0B8;
// Set 0 is the global set.
inline constexpr std::uint32_t kGlobalSet = 0;
inline constexpr std::string_view kGlobalSetName = "Global Settings";

struct SettingsFileHeader {
  std::uint32_t magic;
  std::uint32_t formatVersion;
  std::uint8_t reserved[8];
};

enum class ActionKind : std::uint16_t {
  None = 0,
  SameAsLower = 1,
  KeystrokeSystemRepeat = 7,
  Keystroke = 8,
  Modifiers = 9,
  OpenItem = 10,
  ScrollUp = 16,
  ScrollDown = 17,
  ScrollLeft = 18,
  ScrollRight = 19,
};

// Modifier bits of ActionSlot::modifiers.
inline constexpr std::uint16_t ModShift = 0x01;
inline constexpr std::uint16_t ModApps = 0x02;
inline constexpr std::uint16_t ModControl = 0x04;
inline constexpr std::uint16_t ModAlt = 0x10;
inline constexpr std::uint16_t ModWin = 0x40;
inline constexpr std::uint16_t ModAltGr = ModControl | ModAlt;
inline constexpr std::uint16_t kAllModifiers = ModShift | ModApps | ModControl | ModAlt | ModWin;

// Keystroke::repeatPeriod values with a meaning of their own; 1..65534 repeat every n x 10 ms.
inline constexpr std::uint16_t kRepeatOnce = 0;
inline constexpr std::uint16_t kRepeatHold = 0xFFFF;
// keyCode 10 stands for the Enter key of the numeric keypad.
inline constexpr std::uint8_t kKeypadEnter = 0x0A;

struct ActionSlot {
  std::uint16_t kind;  // an ActionKind code; unknown codes act as None
  std::uint16_t modifiers;
  std::uint8_t keyCode;
  std::int8_t wheelNotches;
  std::uint16_t repeatPeriod;
  std::uint32_t syncRelease;
  std::uint8_t reserved[4];
  char itemPath[32];
  char comment[32];

  ActionKind actionKind() const { return static_cast<ActionKind>(kind); }
};

struct SettingsRecord {
  std::uint32_t reserved0;
  char name[32];
  char targetApp[33];
  std::uint8_t newSetMarker;
  std::uint8_t reserved1[6];
  std::uint32_t factoryChecksum;
  std::uint8_t reserved2[32];
  ActionSlot slots[kSlotCount];
};

inline constexpr std::uint8_t kNewSetMarker = 27;

static_assert(sizeof(SettingsFileHeader) == kHeaderSize);
static_assert(offsetof(SettingsFileHeader, formatVersion) == 4);
static_assert(offsetof(SettingsFileHeader, reserved) == 8);

static_assert(sizeof(ActionSlot) == kSlotSize);
static_assert(offsetof(ActionSlot, kind) == 0);
static_assert(offsetof(ActionSlot, modifiers) == 2);
static_assert(offsetof(ActionSlot, keyCode) == 4);
static_assert(offsetof(ActionSlot, wheelNotches) == 5);
static_assert(offsetof(ActionSlot, repeatPeriod) == 6);
static_assert(offsetof(ActionSlot, syncRelease) == 8);
static_assert(offsetof(ActionSlot, reserved) == 12);
static_assert(offsetof(ActionSlot, itemPath) == 16);
static_assert(offsetof(ActionSlot, comment) == 48);

static_assert(sizeof(SettingsRecord) == kRecordSize);
static_assert(offsetof(SettingsRecord, reserved0) == 0);
static_assert(offsetof(SettingsRecord, name) == 4);
static_assert(offsetof(SettingsRecord, targetApp) == 36);
static_assert(offsetof(SettingsRecord, newSetMarker) == 69);
static_assert(offsetof(SettingsRecord, reserved1) == 70);
static_assert(offsetof(SettingsRecord, factoryChecksum) == 76);
static_assert(offsetof(SettingsRecord, reserved2) == 80);
static_assert(offsetof(SettingsRecord, slots) == 112);

// Where each control of the device keeps its action in a record.
struct SlotIndex {
  static constexpr int JogLeft = 0;   // counter decreases
  static constexpr int JogRight = 1;  // counter increases
  static constexpr int MinZone = -7;
  static constexpr int MaxZone = 7;
  static constexpr int ButtonCount = 13;
  // Zones -8 and +8 are never reported but the zone map consults their slots (4 and 20).
  static constexpr int shuttleZone(int zone) { return 12 + zone; }
  // Shuttle moved from zone a to a + 1 (a = -7..6).
  static constexpr int transitionUp(int from) { return 32 + from; }
  // Shuttle moved from zone a to a - 1 (a = 7..-6).
  static constexpr int transitionDown(int from) { return 50 - from; }
  static constexpr int button(int b) { return 60 + b; }
};

// The standard header every writer writes: 73 26 6A 43 01 00 00 00 00 00 00 00 00 00 00 00.
constexpr SettingsFileHeader standardHeader() {
  return SettingsFileHeader{kSettingsMagic, kSettingsFormatVersion, {}};
}

// Number of whole records in a file of the given size; a trailing partial record is ignored.
constexpr std::uint32_t recordCountForSize(std::uint64_t fileSize) {
  if (fileSize < kHeaderSize) return 0;
  const std::uint64_t n = (fileSize - kHeaderSize) / kRecordSize;
  return n > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(n);
}

// Text of a fixed field up to its first NUL, never past the field's end.
template <std::size_t N>
std::string_view fieldText(const char (&field)[N]) {
  std::size_t len = 0;
  while (len < N && field[len] != '\0') ++len;
  return {field, len};
}

// Writes text into a fixed field, cut to N - 1 characters so the NUL stays inside; the rest of
// the field is zeroed and no byte outside it is touched.
template <std::size_t N>
void setFieldText(char (&field)[N], std::string_view text) {
  const std::size_t len = text.size() < N - 1 ? text.size() : N - 1;
  std::memcpy(field, text.data(), len);
  std::memset(field + len, 0, N - len);
}

inline void setName(SettingsRecord& r, std::string_view text) { setFieldText(r.name, text); }
inline void setTargetApp(SettingsRecord& r, std::string_view text) { setFieldText(r.targetApp, text); }
inline void setItemPath(ActionSlot& s, std::string_view text) { setFieldText(s.itemPath, text); }
inline void setComment(ActionSlot& s, std::string_view text) { setFieldText(s.comment, text); }

// "" and "*" both mean that the set targets no application.
inline bool hasNoTargetApp(const SettingsRecord& r) {
  const std::string_view t = fieldText(r.targetApp);
  return t.empty() || t == "*";
}

}  // namespace ringdeck
