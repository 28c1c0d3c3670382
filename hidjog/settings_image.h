// The engine's image of every set in the settings file, held in a named shared section, and the
// index of the set in use. Loaded at start and replaced whole on every reload; the window thread
// calls load, reload and changeCurrent while it holds the settings lock.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "file_access.h"
#include "settings_file.h"

namespace ringdeck::engine {

class SharedSection {
 public:
  virtual ~SharedSection() = default;
  virtual std::span<std::uint8_t> bytes() = 0;
};

class SectionFactory {
 public:
  virtual ~SectionFactory() = default;
  // A zero-filled read-write section of the given size, or nothing.
  virtual std::unique_ptr<SharedSection> create(std::size_t size) = 0;
};

// Plain memory: for tests and for builds without named sections.
class HeapSectionFactory final : public SectionFactory {
 public:
  std::unique_ptr<SharedSection> create(std::size_t size) override;
};

class SettingsImage {
 public:
  SettingsImage(FileSystem& files, SectionFactory& sections, std::string path)
      : files_(files), sections_(sections), path_(std::move(path)) {}

  // Opens (creating when missing), repairs and copies the file into a new section. False when
  // the file cannot be opened, repaired or read, or the section cannot be had.
  bool load();
  void close();

  // The set to use from now on; an index the image does not hold means the global set.
  void changeCurrent(std::uint32_t index);
  // After the control panel wrote the file: selected is the set it names, count the number of
  // sets it wrote. A changed count moves the current index as a removal needs it.
  bool reload(std::uint32_t selected, std::uint32_t count);

  bool loaded() const { return records_ != nullptr; }
  std::uint32_t recordCount() const { return count_; }
  std::uint32_t currentIndex() const { return current_; }
  // Valid while loaded; there is always at least the global set.
  const SettingsRecord& currentRecord() const { return records_[current_]; }
  const SettingsRecord& record(std::uint32_t index) const { return records_[index]; }
  const std::string& path() const { return path_; }

 private:
  FileSystem& files_;
  SectionFactory& sections_;
  std::string path_;
  std::unique_ptr<SharedSection> section_;
  const SettingsRecord* records_ = nullptr;
  std::uint32_t count_ = 0;
  std::uint32_t current_ = kGlobalSet;
};

}  // namespace ringdeck::engine
