// Any bytes as a recovery copy beside any bytes as the settings file: the load's mending never
// fails unsafely, never leaves a file that is not whole behind a copy it could use, and puts a
// copy's content in place only when the copy is whole. The input is the file, a split byte and
// the copy; with the split byte odd the copy gets a correct header, so that the CRC is no wall.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "crc32.h"
#include "memory_file.h"
#include "settings_io.h"
#include "whole_file_save.h"

namespace {

using namespace ringdeck;

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "recovery_copy_fuzz: check failed: %s\n", what);
  std::abort();
}

const std::string kPath = "C:\\windows\\system32\\OrvanelRingDeck.pref";

// A copy of content made for kPath, with header and CRC as a save writes them.
std::vector<std::uint8_t> wholeCopyOf(std::span<const std::uint8_t> content) {
  RecoveryCopyHeader h{};
  std::memcpy(h.magic, kRecoveryCopyMagic, sizeof h.magic);
  h.contentSize = content.size();
  h.pathSize = static_cast<std::uint32_t>(kPath.size());
  std::uint32_t crc = crc32Update(0, &h, sizeof h);
  crc = crc32Update(crc, kPath.data(), kPath.size());
  crc = crc32Update(crc, content.data(), content.size());
  h.crc = crc;
  std::vector<std::uint8_t> out(sizeof h);
  std::memcpy(out.data(), &h, sizeof h);
  out.insert(out.end(), kPath.begin(), kPath.end());
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t split = std::min<std::size_t>(size - 1, static_cast<std::size_t>(data[0]) * 64);
  const std::span<const std::uint8_t> file(data + 1, split);
  const std::span<const std::uint8_t> rest(data + 1 + split, size - 1 - split);
  const bool makeWhole = !rest.empty() && (rest[0] & 1);

  MemoryFileSystem fs;
  const std::string copyPath = fs.recoveryCopyPath(kPath);
  fs.files[kPath].assign(file.begin(), file.end());
  fs.files[copyPath] = makeWhole ? wholeCopyOf(rest.subspan(1)) : std::vector<std::uint8_t>(rest.begin(), rest.end());
  const auto copy = fs.files[copyPath];
  const auto content = parseRecoveryCopy(copy, kPath);

  std::vector<std::uint8_t> inMemory;
  const Recovery outcome = recoverInterruptedSave(fs, kPath, &inMemory);
  std::uint32_t magic = 0;
  if (file.size() >= 4) std::memcpy(&magic, file.data(), 4);
  switch (outcome) {
    case Recovery::Restored:
      check(content && magic != kSettingsMagic, "restored from a copy that was of no use");
      check(fs.files[kPath] == std::vector<std::uint8_t>(content->begin(), content->end()),
            "restored file differs from the copy");
      check(!fs.exists(copyPath), "copy left after a restore");
      break;
    case Recovery::None:
      check(magic == kSettingsMagic || !content, "a usable copy was passed over");
      check(fs.files[kPath] == std::vector<std::uint8_t>(file.begin(), file.end()), "file changed");
      break;
    case Recovery::CutWithoutCopy:
      check(magic == kSaveInProgressMagic && !content, "cut file with a usable copy");
      check(fs.files[kPath] == std::vector<std::uint8_t>(file.begin(), file.end()), "cut file changed");
      break;
    case Recovery::InMemory:
      check(false, "in memory although the file may be written");
      break;
  }
  // Whatever happened, the loaders go on with an ordinary repair and read.
  std::vector<std::uint8_t> holder;
  if (auto f = openWholeSettings(fs, kPath, OpenMode::ReadWriteOpenAlways, holder)) {
    if (repairSettingsFile(*f) != RepairResult::Failed) check(readAllSettingsRecords(*f).has_value(), "read after repair");
  }
  return 0;
}
