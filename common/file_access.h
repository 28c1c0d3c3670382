// The seam through which the core reads and writes files. The Win32 glue opens files with the
// flags the product needs; the tests use an ordinary file or a file held in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace ringdeck {

class FileAccess {
 public:
  virtual ~FileAccess() = default;
  // Current size in bytes, or nothing when it cannot be had.
  virtual std::optional<std::uint64_t> size() = 0;
  // Reads up to out.size() bytes from offset; the count read (short at the end of the file),
  // or nothing on an I/O failure.
  virtual std::optional<std::size_t> readAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
  // Writes all of data at offset, growing the file as needed.
  virtual bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) = 0;
  // Cuts or extends the file to size bytes.
  virtual bool truncate(std::uint64_t size) = 0;
  // Pushes what was written to the disk itself, so that a file put in place of another after
  // this call survives a power loss whole.
  virtual bool flush() { return true; }
  // Takes the right to rewrite the file, waiting a bounded time while another handle (of any
  // process) holds it; kept until this handle is closed. Reading and writing the file's bytes
  // are not blocked by it: only those who take the right too wait.
  virtual bool lockForUpdate() { return true; }
};

enum class OpenMode {
  ReadWriteOpenAlways,  // read and write, created when missing (engine, control panel load)
  ReadOnlyExisting,     // read only, must exist (helper)
  ReadWriteCreateNew,   // read and write, created anew and empty (writers of a whole file)
};

// Attributes a file gets when an open creates or replaces it.
enum class CreatedAttributes {
  SettingsFile,  // hidden and archive: the settings file and what is written in its place
  Archive,       // archive only: files the user saves to find again (exported sets, reports)
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Creates files with the settings file's attributes.
  virtual std::unique_ptr<FileAccess> open(const std::string& path, OpenMode mode) = 0;
  // As open, with the attributes the caller chooses for a file it creates. Where files have
  // no such attributes this is a plain open.
  virtual std::unique_ptr<FileAccess> openWithAttributes(const std::string& path, OpenMode mode,
                                                         CreatedAttributes attributes) {
    (void)attributes;
    return open(path, mode);
  }
  virtual bool exists(const std::string& path) = 0;
  virtual bool remove(const std::string& path) = 0;
  // Puts source in place of target in one step (target may exist), keeping target's hidden and
  // archive attributes; source is gone afterwards.
  virtual bool replace(const std::string& source, const std::string& target) = 0;
  // Where a save of the file at path keeps its recovery copy: a place the user may write.
  virtual std::string recoveryCopyPath(const std::string& path) { return path + ".save"; }
};

}  // namespace ringdeck
