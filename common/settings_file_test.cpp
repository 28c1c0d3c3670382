#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "crc32.h"
#include "memory_file.h"
#include "settings_io.h"
#include "stdio_file.h"

namespace ringdeck {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kStandardHeader = {0x73, 0x26, 0x6A, 0x43, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

Bytes repairedFile() {
  Bytes b = kStandardHeader;
  b.resize(kExportedFileSize, 0);
  return b;
}

Bytes bytesOf(const SettingsRecord& r) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&r);
  return Bytes(p, p + sizeof r);
}

SettingsRecord namedRecord(std::string_view name) {
  SettingsRecord r{};
  setName(r, name);
  return r;
}

Bytes fileOf(std::initializer_list<SettingsRecord> records, std::size_t trailing = 0) {
  Bytes b = kStandardHeader;
  for (const auto& r : records) {
    const Bytes rb = bytesOf(r);
    b.insert(b.end(), rb.begin(), rb.end());
  }
  b.insert(b.end(), trailing, 0xAB);
  return b;
}

TEST(SettingsHeader, StandardHeaderBytes) {
  MemoryFileSystem fs;
  auto f = fs.open("x", OpenMode::ReadWriteOpenAlways);
  ASSERT_TRUE(writeSettingsHeader(*f));
  EXPECT_EQ(fs.files["x"], kStandardHeader);
}

TEST(SettingsHeader, RecordCountIgnoresTrailingPartialRecord) {
  EXPECT_EQ(recordCountForSize(0), 0u);
  EXPECT_EQ(recordCountForSize(15), 0u);  // never wraps below the header
  EXPECT_EQ(recordCountForSize(16), 0u);
  EXPECT_EQ(recordCountForSize(16 + 6511), 0u);
  EXPECT_EQ(recordCountForSize(16 + 6512), 1u);
  EXPECT_EQ(recordCountForSize(16 + 2 * 6512 + 100), 2u);
}

struct DamagedCase {
  const char* what;
  Bytes bytes;
};

Bytes withMagicByte(int index, std::uint8_t value) {
  Bytes b = fileOf({namedRecord("Kept?")});
  b[static_cast<std::size_t>(index)] = value;
  return b;
}

class RepairDamaged : public testing::TestWithParam<DamagedCase> {};

TEST_P(RepairDamaged, BecomesHeaderAndOneZeroRecord) {
  Bytes bytes = GetParam().bytes;
  MemoryFile file(bytes);
  EXPECT_EQ(repairSettingsFile(file), RepairResult::Repaired);
  EXPECT_EQ(bytes, repairedFile());
  EXPECT_EQ(repairSettingsFile(file), RepairResult::Intact);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RepairDamaged,
    testing::Values(
        DamagedCase{"empty", {}},
        DamagedCase{"fifteen_bytes", Bytes(kStandardHeader.begin(), kStandardHeader.end() - 1)},
        DamagedCase{"magic_byte_0", withMagicByte(0, 0x74)},
        DamagedCase{"magic_byte_1", withMagicByte(1, 0x00)},
        DamagedCase{"magic_byte_2", withMagicByte(2, 0x6B)},
        DamagedCase{"magic_byte_3", withMagicByte(3, 0xC3)},
        // A valid header with no whole record holds no global set: repaired the same way.
        DamagedCase{"header_only", kStandardHeader},
        DamagedCase{"header_and_partial_record", [] {
                      Bytes b = kStandardHeader;
                      b.resize(16 + 6511, 0x55);
                      return b;
                    }()}),
    [](const auto& p) { return std::string(p.param.what); });

TEST(SettingsRead, TwoRecordsAndTrailingBytesAreReadAndLeftAlone) {
  Bytes bytes = fileOf({namedRecord("Global Settings"), namedRecord("Editor")}, 100);
  const Bytes before = bytes;
  MemoryFile file(bytes);
  EXPECT_EQ(repairSettingsFile(file), RepairResult::Intact);
  EXPECT_EQ(bytes, before);
  EXPECT_EQ(settingsRecordCount(file), 2u);
  auto records = readAllSettingsRecords(file);
  ASSERT_TRUE(records);
  ASSERT_EQ(records->size(), 2u);
  EXPECT_EQ(fieldText((*records)[0].name), "Global Settings");
  EXPECT_EQ(fieldText((*records)[1].name), "Editor");
  SettingsRecord second{};
  EXPECT_TRUE(readSettingsRecord(file, 1, second));
  EXPECT_FALSE(readSettingsRecord(file, 2, second));  // only 100 bytes there
}

TEST(SettingsRead, OtherFormatVersionIsReadAsUsual) {
  Bytes bytes = fileOf({namedRecord("Versioned")});
  bytes[4] = 7;
  bytes[9] = 0xEE;  // reserved bytes are not looked at either
  MemoryFile file(bytes);
  EXPECT_EQ(repairSettingsFile(file), RepairResult::Intact);
  auto records = readAllSettingsRecords(file);
  ASSERT_TRUE(records);
  EXPECT_EQ(fieldText((*records)[0].name), "Versioned");
}

TEST(SettingsRead, InvalidHeaderYieldsNoRecords) {
  Bytes bytes = withMagicByte(2, 0);
  MemoryFile file(bytes);
  EXPECT_FALSE(readAllSettingsRecords(file));
}

TEST(SettingsIo, ReadFailureIsReportedNotRepaired) {
  Bytes bytes = fileOf({namedRecord("A")});
  const Bytes before = bytes;
  MemoryFile file(bytes);
  file.failReads();
  EXPECT_EQ(repairSettingsFile(file), RepairResult::Failed);
  EXPECT_EQ(bytes, before);
}

TEST(SettingsIo, WriteFailureDuringRepairIsReported) {
  Bytes bytes(15, 0);
  MemoryFile file(bytes);
  file.failWritesAfter(100);
  EXPECT_EQ(repairSettingsFile(file), RepairResult::Failed);
}

TEST(SettingsIo, WriteCutsTheFileAfterTheLastRecord) {
  Bytes bytes = fileOf({namedRecord("A"), namedRecord("B"), namedRecord("C")}, 7);
  MemoryFile file(bytes);
  const SettingsRecord only = namedRecord("Only");
  ASSERT_TRUE(writeSettingsFile(file, std::span(&only, 1)));
  EXPECT_EQ(bytes, fileOf({only}));
}

TEST(TargetApplication, EmptyAndStarMeanNone) {
  struct Case {
    const char* target;
    bool none;
  };
  for (const Case c : {Case{"", true}, Case{"*", true}, Case{"**", false}, Case{"EDITOR.EXE", false},
                       Case{" ", false}}) {
    SettingsRecord r{};
    setTargetApp(r, c.target);
    EXPECT_EQ(hasNoTargetApp(r), c.none) << '"' << c.target << '"';
  }
}

TEST(FactoryChecksum, Crc32IsTheStandardOne) {
  EXPECT_EQ(crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(crc32("", 0), 0u);
}

TEST(FactoryChecksum, ZeroMeansNoInformation) {
  SettingsRecord r = namedRecord("Plain");
  EXPECT_EQ(factoryState(r), FactoryState::NoInformation);
}

TEST(FactoryChecksum, IsComputedWithThePlaceholderInTheField) {
  SettingsRecord r = namedRecord("Factory");
  SettingsRecord withPlaceholder = r;
  withPlaceholder.factoryChecksum = kFactoryChecksumPlaceholder;
  EXPECT_EQ(computeFactoryChecksum(r), crc32(&withPlaceholder, sizeof withPlaceholder));
  // Placeholder bytes as stored: B8 A0 9C 01 at offset 76.
  const Bytes b = bytesOf(withPlaceholder);
  EXPECT_EQ((Bytes(b.begin() + 76, b.begin() + 80)), (Bytes{0xB8, 0xA0, 0x9C, 0x01}));
}

TEST(FactoryChecksum, UntouchedRecordPassesAndAnyChangedByteFails) {
  SettingsRecord r = namedRecord("Factory");
  setTargetApp(r, "EDITOR.EXE");
  r.slots[SlotIndex::button(0)] = {8, ModControl, 'C', -1, kRepeatHold, 1, {}, {}, {}};
  setComment(r.slots[SlotIndex::button(0)], "Copy");
  r.factoryChecksum = computeFactoryChecksum(r);
  ASSERT_EQ(factoryState(r), FactoryState::Factory);

  auto* bytes = reinterpret_cast<std::uint8_t*>(&r);
  for (std::size_t i = 0; i < sizeof r; ++i) {
    bytes[i] ^= 0x01;
    ASSERT_EQ(factoryState(r), FactoryState::Changed) << "byte " << i;
    bytes[i] ^= 0x01;
  }
  EXPECT_EQ(factoryState(r), FactoryState::Factory);
}

TEST(ActionSlotLayout, ControlCHeldSyncReleaseRoundTripsByteForByte) {
  ActionSlot slot{};
  slot.kind = static_cast<std::uint16_t>(ActionKind::Keystroke);
  slot.modifiers = ModControl;
  slot.keyCode = 'C';
  slot.wheelNotches = -1;  // stored as 0xFF for keystrokes
  slot.repeatPeriod = kRepeatHold;
  slot.syncRelease = 1;

  Bytes expected = {0x08, 0x00, 0x04, 0x00, 0x43, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00};
  expected.resize(kSlotSize, 0);

  SettingsRecord record{};
  record.slots[SlotIndex::button(4)] = slot;
  Bytes bytes;
  MemoryFile file(bytes);
  ASSERT_TRUE(writeSettingsFile(file, std::span(&record, 1)));
  const std::size_t at = kHeaderSize + 112 + kSlotSize * SlotIndex::button(4);
  EXPECT_EQ(Bytes(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + kSlotSize)),
            expected);

  SettingsRecord back{};
  ASSERT_TRUE(readSettingsRecord(file, 0, back));
  EXPECT_EQ(std::memcmp(&back.slots[SlotIndex::button(4)], expected.data(), kSlotSize), 0);
  EXPECT_EQ(back.slots[SlotIndex::button(4)].actionKind(), ActionKind::Keystroke);
}

TEST(SlotIndexMap, ControlsLandOnTheirSlots) {
  EXPECT_EQ(SlotIndex::shuttleZone(-7), 5);
  EXPECT_EQ(SlotIndex::shuttleZone(0), 12);
  EXPECT_EQ(SlotIndex::shuttleZone(7), 19);
  EXPECT_EQ(SlotIndex::shuttleZone(-8), 4);
  EXPECT_EQ(SlotIndex::shuttleZone(8), 20);
  EXPECT_EQ(SlotIndex::transitionUp(-7), 25);
  EXPECT_EQ(SlotIndex::transitionUp(6), 38);
  EXPECT_EQ(SlotIndex::transitionDown(7), 43);
  EXPECT_EQ(SlotIndex::transitionDown(-6), 56);
  EXPECT_EQ(SlotIndex::button(0), 60);
  EXPECT_EQ(SlotIndex::button(12), 72);
}

// Every byte outside the field keeps its value when overlong text is written into it.
template <std::size_t N>
void expectBoundedWrite(SettingsRecord& r, char (&field)[N], std::size_t maxChars,
                        void (*set)(SettingsRecord&, std::string_view)) {
  std::memset(&r, 0x5A, sizeof r);
  const Bytes before = bytesOf(r);
  const std::string text(60, 'x');
  set(r, text);
  EXPECT_EQ(fieldText(field), std::string(maxChars, 'x'));
  EXPECT_EQ(field[maxChars], '\0');
  const Bytes after = bytesOf(r);
  const auto start = static_cast<std::size_t>(reinterpret_cast<const std::uint8_t*>(field) -
                                              reinterpret_cast<const std::uint8_t*>(&r));
  for (std::size_t i = 0; i < sizeof r; ++i) {
    if (i >= start && i < start + N) continue;
    ASSERT_EQ(after[i], before[i]) << "byte " << i << " outside the field changed";
  }
}

TEST(BoundedText, OverlongTextIsCutInsideItsField) {
  SettingsRecord r;
  expectBoundedWrite(r, r.name, 31, &setName);
  expectBoundedWrite(r, r.targetApp, 32, &setTargetApp);
  EXPECT_EQ(r.newSetMarker, 0x5A);  // byte 69 untouched
  expectBoundedWrite(r, r.slots[3].itemPath, 31,
                     [](SettingsRecord& rec, std::string_view t) { setItemPath(rec.slots[3], t); });
  expectBoundedWrite(r, r.slots[79].comment, 31,
                     [](SettingsRecord& rec, std::string_view t) { setComment(rec.slots[79], t); });
}

TEST(BoundedText, ReaderStopsAtTheFieldEndWithoutNul) {
  SettingsRecord r{};
  std::memset(r.name, 'n', sizeof r.name);
  std::memset(r.targetApp, 't', sizeof r.targetApp);
  r.newSetMarker = kNewSetMarker;
  EXPECT_EQ(fieldText(r.name), std::string(32, 'n'));
  EXPECT_EQ(fieldText(r.targetApp), std::string(33, 't'));
}

TEST(BoundedText, ShortTextClearsTheRestOfTheField) {
  SettingsRecord r{};
  setName(r, "A much longer name than the next");
  setName(r, "Short");
  EXPECT_EQ(fieldText(r.name), "Short");
  for (std::size_t i = 5; i < sizeof r.name; ++i) EXPECT_EQ(r.name[i], '\0');
}

// The same rules on an ordinary file on disk.
TEST(SettingsOnDisk, FifteenByteFileIsRepairedInPlace) {
  const auto path = (std::filesystem::temp_directory_path() /
                     ("ringdeck_settings_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".pref"))
                        .string();
  StdioFileSystem fs;
  {
    auto f = fs.open(path, OpenMode::ReadWriteCreateNew);
    ASSERT_TRUE(f);
    ASSERT_TRUE(f->writeAt(0, Bytes(15, 0x73)));
  }
  {
    auto f = fs.open(path, OpenMode::ReadWriteOpenAlways);
    ASSERT_TRUE(f);
    EXPECT_EQ(repairSettingsFile(*f), RepairResult::Repaired);
  }
  EXPECT_EQ(std::filesystem::file_size(path), kExportedFileSize);
  auto f = fs.open(path, OpenMode::ReadOnlyExisting);
  ASSERT_TRUE(f);
  auto records = readAllSettingsRecords(*f);
  ASSERT_TRUE(records);
  EXPECT_EQ(bytesOf((*records)[0]), Bytes(kRecordSize, 0));
  f.reset();
  EXPECT_TRUE(fs.remove(path));
  EXPECT_FALSE(fs.open(path, OpenMode::ReadOnlyExisting));
}

}  // namespace
}  // namespace ringdeck
