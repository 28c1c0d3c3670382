#include "settings_image.h"

#include <vector>

#include "memory_file.h"
#include "settings_io.h"
#include "whole_file_save.h"

namespace ringdeck::engine {
namespace {

class HeapSection final : public SharedSection {
 public:
  explicit HeapSection(std::size_t size) : bytes_(size) {}
  std::span<std::uint8_t> bytes() override { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// The whole file, read through a handle that may not write.
bool readWholeFile(FileAccess& file, std::vector<std::uint8_t>& out) {
  const auto size = file.size();
  if (!size) return false;
  out.resize(static_cast<std::size_t>(*size));
  const auto got = file.readAt(0, out);
  if (!got) return false;
  out.resize(*got);
  return true;
}

}  // namespace

std::unique_ptr<SharedSection> HeapSectionFactory::create(std::size_t size) {
  return std::make_unique<HeapSection>(size);
}

bool SettingsImage::load() {
  close();
  // Started at logon, the engine has the user's standard rights, and the file that an elevated
  // setup made in the system directory may be read-only to that user. The engine needs only to
  // read it: it then works on a copy, and a damaged file is repaired in that copy alone.
  // A save that was cut short is finished first, or read from its recovery copy. A file cut
  // by a save whose copy is not at hand here is not repaired in place either: the user whose
  // save it was gets it back at that user's next load.
  std::vector<std::uint8_t> readOnlyCopy;
  auto file = openWholeSettings(files_, path_, OpenMode::ReadWriteOpenAlways, readOnlyCopy);
  if (!file) {
    auto readOnly = files_.open(path_, OpenMode::ReadOnlyExisting);
    if (!readOnly || !readWholeFile(*readOnly, readOnlyCopy)) return false;
    file = std::make_unique<MemoryFile>(readOnlyCopy);
  }
  if (repairSettingsFile(*file) == RepairResult::Failed) return false;
  const auto size = file->size();
  if (!size || *size < kExportedFileSize) return false;
  const std::uint32_t count = recordCountForSize(*size);
  auto section = sections_.create(static_cast<std::size_t>(*size - kHeaderSize));
  if (!section || section->bytes().size() < static_cast<std::size_t>(count) * kRecordSize) return false;
  auto* records = reinterpret_cast<SettingsRecord*>(section->bytes().data());
  if (!readSettingsRecords(*file, std::span(records, count))) return false;
  section_ = std::move(section);
  records_ = records;
  count_ = count;
  if (current_ >= count_) current_ = kGlobalSet;
  return true;
}

void SettingsImage::close() {
  records_ = nullptr;
  count_ = 0;
  section_.reset();
}

void SettingsImage::changeCurrent(std::uint32_t index) {
  current_ = index < count_ ? index : kGlobalSet;
}

bool SettingsImage::reload(std::uint32_t selected, std::uint32_t count) {
  if (count != count_) {
    if (selected == current_) {
      current_ = kGlobalSet;  // the set in use was removed
    } else if (count_ > 0 && current_ == count_ - 1) {
      current_ = selected;  // the last set was moved into the removed set's place
    }
  }
  return load();
}

}  // namespace ringdeck::engine
