// Any target and default settings files (sizes, magic, tails, contents): setupprep never fails
// unsafely, leaves a file it must not touch as it was, and never leaves a changed target off the
// record grid.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "memory_file.h"
#include "settings_file.h"
#include "setup_prep.h"

namespace {

using namespace ringdeck;
using namespace ringdeck::setup;

class Platform final : public PlatformInfo {
 public:
  bool nt = true;
  bool isNtFamily() override { return nt; }
  std::string systemDirectory() override { return "C:\\W\\S"; }
  std::string windowsDirectory() override { return "C:\\W"; }
  std::string programFile() override { return "D:\\setupprep.exe"; }
};

class NoWindows final : public WindowFinder {
 public:
  bool classExists(std::string_view) override { return false; }
  bool titleExists(std::string_view) override { return false; }
};

class Prompts final : public UserPrompts {
 public:
  bool answer = true;
  void showError(std::string_view, std::string_view) override {}
  bool confirm(std::string_view, std::string_view) override { return answer; }
};

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  std::uint8_t byte() { return at < size ? data[at++] : 0; }
  std::uint16_t word() { return static_cast<std::uint16_t>(byte() | byte() << 8); }
};

// A file of `records` whole records and `tail` bytes more, or just `shortLength` bytes when
// it is to be shorter than a header; contents cycle through the fuzzer's bytes.
std::vector<std::uint8_t> makeFile(Reader& in, bool goodMagic) {
  const std::uint8_t shape = in.byte();
  const std::size_t records = shape % 4;
  std::size_t size = kHeaderSize + records * kRecordSize + in.word() % kRecordSize;
  if (shape & 0x80) size = shape % kHeaderSize;
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = in.size > 0 ? in.data[(i * 7 + in.at) % in.size] : 0;
  }
  if (size >= kHeaderSize) {
    const SettingsFileHeader header = standardHeader();
    std::memcpy(bytes.data(), &header, sizeof header);
    if (!goodMagic) bytes[1] ^= 0x40;
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in{data, size};
  const std::uint8_t flags = in.byte();
  Platform platform;
  platform.nt = flags & 1;
  Prompts prompts;
  prompts.answer = flags & 2;
  NoWindows windows;
  MemoryFileSystem files;
  const std::string target = "C:\\W\\S\\OrvanelRingDeck.pref";
  const std::string defaults =
      std::string("D:\\") + (platform.nt ? "OrvanelRingDeck.pref2k" : "OrvanelRingDeck.pref98");
  if (flags & 4) files.files[target] = makeFile(in, flags & 8);
  if (flags & 16) files.files[defaults] = makeFile(in, flags & 32);
  const auto before = files.files;

  SetupEnvironment env{platform, windows, prompts, files};
  const int code = runSetupPrep(env);
  if (code != 0 && code != -1) std::abort();

  const auto was = before.find(target);
  const auto now = files.files.find(target);
  if (was != before.end() && now == files.files.end()) std::abort();  // never deleted
  const bool existed = was != before.end() && was->second.size() >= kHeaderSize;
  const bool validBefore = existed && std::memcmp(was->second.data(), &kSettingsMagic, 4) == 0;
  if (validBefore && recordCountForSize(was->second.size()) != 1 && now->second != was->second) {
    std::abort();  // a valid file with no or several sets is never touched
  }
  if (existed && !validBefore && !prompts.answer && now->second != was->second) std::abort();
  if (now != files.files.end() && (was == before.end() || now->second != was->second)) {
    const auto& bytes = now->second;
    if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), &kSettingsMagic, 4) != 0) std::abort();
    if ((bytes.size() - kHeaderSize) % kRecordSize != 0) std::abort();
  }
  if (before.contains(defaults) && files.files[defaults] != before.at(defaults)) {
    std::abort();  // the default file is only read
  }
  return 0;
}
