#include "whole_file_save.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "crc32.h"
#include "memory_file.h"

namespace ringdeck {
namespace {

template <typename T>
std::span<const std::uint8_t> bytesOf(const T& value) {
  return {reinterpret_cast<const std::uint8_t*>(&value), sizeof(T)};
}

bool sameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The file's magic; 0 (no magic of ours) when it cannot be read.
std::uint32_t readMagic(FileAccess& file) {
  std::uint32_t magic = 0;
  std::uint8_t buffer[sizeof magic];
  const auto got = file.readAt(0, buffer);
  if (!got || *got != sizeof magic) return 0;
  std::memcpy(&magic, buffer, sizeof magic);
  return magic;
}

// Writes the records of a save through one file at offset, a few per call; crc (when given)
// takes every byte written.
class RecordWriter {
 public:
  RecordWriter(std::span<const SettingsRecord> records, std::span<const std::uint32_t> order)
      : records_(records), order_(order) {}
  std::size_t count() const { return order_.empty() ? records_.size() : order_.size(); }

  bool write(FileAccess& file, std::uint64_t offset, std::uint32_t* crc) {
    constexpr std::size_t kBatch = 64;
    std::vector<SettingsRecord> batch;
    batch.reserve(std::min(kBatch, count()));
    for (std::size_t i = 0; i < count(); i += kBatch) {
      batch.clear();
      for (std::size_t k = i; k < std::min(count(), i + kBatch); ++k)
        batch.push_back(records_[order_.empty() ? k : order_[k]]);
      const std::span<const std::uint8_t> bytes(
          reinterpret_cast<const std::uint8_t*>(batch.data()), batch.size() * kRecordSize);
      if (!file.writeAt(offset, bytes)) return false;
      if (crc) *crc = crc32Update(*crc, bytes.data(), bytes.size());
      offset += bytes.size();
    }
    return true;
  }

 private:
  std::span<const SettingsRecord> records_;
  std::span<const std::uint32_t> order_;
};

bool writeRecoveryCopy(FileAccess& copy, const std::string& path, RecordWriter& records) {
  static constexpr SettingsFileHeader kHeader = standardHeader();
  RecoveryCopyHeader header{};
  std::memcpy(header.magic, kRecoveryCopyMagic, sizeof header.magic);
  header.contentSize = kHeaderSize + static_cast<std::uint64_t>(records.count()) * kRecordSize;
  header.pathSize = static_cast<std::uint32_t>(path.size());
  std::uint32_t crc = crc32Update(0, &header, sizeof header);
  crc = crc32Update(crc, path.data(), path.size());
  crc = crc32Update(crc, &kHeader, sizeof kHeader);
  const std::uint64_t contentAt = sizeof header + path.size();
  const std::span<const std::uint8_t> pathBytes(reinterpret_cast<const std::uint8_t*>(path.data()),
                                                path.size());
  if (!copy.writeAt(sizeof header, pathBytes) || !copy.writeAt(contentAt, bytesOf(kHeader)) ||
      !records.write(copy, contentAt + kHeaderSize, &crc) ||
      !copy.truncate(contentAt + header.contentSize))
    return false;
  // The header goes last: a copy cut short before it is never taken for a whole one.
  header.crc = crc;
  return copy.writeAt(0, bytesOf(header)) && copy.flush();
}

// Rewrites the file in place with content whose first kHeaderSize bytes are the header: marked
// as cut short first, records, size, and the header last.
template <typename WriteRecords>
bool rewriteInPlace(FileAccess& file, const SettingsFileHeader& header, std::uint64_t size,
                    WriteRecords writeRecords) {
  SettingsFileHeader marker = header;
  marker.magic = kSaveInProgressMagic;
  return file.writeAt(0, bytesOf(marker)) && file.flush() && writeRecords() &&
         file.truncate(size) && file.flush() && file.writeAt(0, bytesOf(header)) && file.flush();
}

bool readWhole(FileAccess& file, std::vector<std::uint8_t>& out, std::uint64_t limit) {
  const auto size = file.size();
  if (!size || *size > limit) return false;
  try {
    out.resize(static_cast<std::size_t>(*size));
  } catch (const std::bad_alloc&) {
    return false;  // a copy that does not fit in memory is of no use
  }
  const auto got = file.readAt(0, out);
  if (!got || *got != out.size()) return false;
  return true;
}

}  // namespace

namespace {

// parseRecoveryCopy; madeForAnother tells a whole copy of another file from one not whole.
std::optional<std::span<const std::uint8_t>> parseCopy(std::span<const std::uint8_t> copy,
                                                       std::string_view path, bool& madeForAnother) {
  madeForAnother = false;
  RecoveryCopyHeader header;
  if (copy.size() < sizeof header) return std::nullopt;
  std::memcpy(&header, copy.data(), sizeof header);
  if (std::memcmp(header.magic, kRecoveryCopyMagic, sizeof header.magic) != 0) return std::nullopt;
  const std::uint64_t rest = copy.size() - sizeof header;
  if (header.pathSize > rest || header.contentSize != rest - header.pathSize) return std::nullopt;
  if (header.contentSize < kHeaderSize || header.contentSize > kMaxRecoveryContent) return std::nullopt;
  const auto pathBytes = copy.subspan(sizeof header, header.pathSize);
  const auto content = copy.subspan(sizeof header + header.pathSize);
  const std::string_view copyPath(reinterpret_cast<const char*>(pathBytes.data()), pathBytes.size());
  const std::uint32_t stored = header.crc;
  header.crc = 0;
  std::uint32_t crc = crc32Update(0, &header, sizeof header);
  crc = crc32Update(crc, pathBytes.data(), pathBytes.size());
  crc = crc32Update(crc, content.data(), content.size());
  if (crc != stored) return std::nullopt;
  SettingsFileHeader fileHeader;
  std::memcpy(&fileHeader, content.data(), sizeof fileHeader);
  if (fileHeader.magic != kSettingsMagic) return std::nullopt;
  if (!sameIgnoringAsciiCase(copyPath, path)) {
    madeForAnother = true;
    return std::nullopt;
  }
  return content;
}

}  // namespace

std::optional<std::span<const std::uint8_t>> parseRecoveryCopy(std::span<const std::uint8_t> copy,
                                                               std::string_view path) {
  bool madeForAnother;
  return parseCopy(copy, path, madeForAnother);
}

bool saveSettingsInPlace(FileSystem& files, const std::string& path,
                         std::span<const SettingsRecord> records,
                         std::span<const std::uint32_t> order) {
  const std::string copyPath = files.recoveryCopyPath(path);
  if (copyPath.empty()) return false;
  auto file = files.open(path, OpenMode::ReadWriteOpenAlways);
  if (!file || !file->lockForUpdate()) return false;

  RecordWriter writer(records, order);
  {
    auto copy = files.open(copyPath, OpenMode::ReadWriteCreateNew);
    if (!copy) return false;
    if (!writeRecoveryCopy(*copy, path, writer)) {
      copy.reset();
      files.remove(copyPath);  // the file itself is untouched
      return false;
    }
  }
  static constexpr SettingsFileHeader kHeader = standardHeader();
  const std::uint64_t size = kHeaderSize + static_cast<std::uint64_t>(writer.count()) * kRecordSize;
  if (!rewriteInPlace(*file, kHeader, size, [&] { return writer.write(*file, kHeaderSize, nullptr); }))
    return false;  // the recovery copy stays for the next load
  // Removed while the right to rewrite is still held, so that no other saver's copy can be hit.
  files.remove(copyPath);
  return true;
}

Recovery recoverInterruptedSave(FileSystem& files, const std::string& path,
                                std::vector<std::uint8_t>* inMemory) {
  const std::string copyPath = files.recoveryCopyPath(path);
  if (copyPath.empty() || !files.exists(copyPath)) {
    auto file = files.open(path, OpenMode::ReadOnlyExisting);
    std::uint32_t magic = file ? readMagic(*file) : 0;
    if (magic == kSaveInProgressMagic) {
      // Perhaps another user's save at work, its copy in that user's folder: wait for it.
      file = files.open(path, OpenMode::ReadWriteOpenAlways);
      if (file && file->lockForUpdate()) magic = readMagic(*file);
    }
    return magic == kSaveInProgressMagic ? Recovery::CutWithoutCopy : Recovery::None;
  }

  auto file = files.open(path, OpenMode::ReadWriteOpenAlways);
  // A save still at work (it holds the right to rewrite) is no cut one: wait for it.
  const bool writable = file && file->lockForUpdate();
  if (!writable) file = files.open(path, OpenMode::ReadOnlyExisting);
  const std::uint32_t magic = file ? readMagic(*file) : 0;

  std::vector<std::uint8_t> copyBytes;
  std::optional<std::span<const std::uint8_t>> content;
  bool madeForAnother = false;
  {
    auto copy = files.open(copyPath, OpenMode::ReadOnlyExisting);
    if (copy && readWhole(*copy, copyBytes, kMaxRecoveryContent + sizeof(RecoveryCopyHeader) + 65536))
      content = parseCopy(copyBytes, path, madeForAnother);
  }
  // A whole copy of another file is that file's business. Any other copy is of no more use
  // when the file is whole (the save ended, or was cut before it touched the file) or when the
  // copy is not whole; it is removed only under the right to rewrite, as another save may be
  // about to use it (one still writing it cannot be deleted: its writer shares no deleting).
  if (magic == kSettingsMagic || !content) {
    if (writable && !madeForAnother) files.remove(copyPath);
    return magic == kSaveInProgressMagic ? Recovery::CutWithoutCopy : Recovery::None;
  }
  if (!writable) {
    if (inMemory) inMemory->assign(content->begin(), content->end());
    return Recovery::InMemory;
  }
  SettingsFileHeader header;
  std::memcpy(&header, content->data(), sizeof header);
  const auto records = content->subspan(kHeaderSize);
  if (!rewriteInPlace(*file, header, content->size(),
                      [&] { return records.empty() || file->writeAt(kHeaderSize, records); })) {
    if (inMemory) inMemory->assign(content->begin(), content->end());
    return Recovery::InMemory;
  }
  files.remove(copyPath);
  return Recovery::Restored;
}

std::unique_ptr<FileAccess> openWholeSettings(FileSystem& files, const std::string& path,
                                              OpenMode mode, std::vector<std::uint8_t>& holder,
                                              Recovery* outcome) {
  const Recovery r = recoverInterruptedSave(files, path, &holder);
  if (outcome) *outcome = r;
  if (r == Recovery::CutWithoutCopy) return nullptr;
  if (r == Recovery::InMemory) return std::make_unique<MemoryFile>(holder);
  return files.open(path, mode);
}

}  // namespace ringdeck
