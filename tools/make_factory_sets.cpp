// Build-time generator of the default settings files shipped beside setupprep.
//   make_factory_sets <source.txt> <output folder>   writes OrvanelRingDeck.pref2k and .pref98
//   make_factory_sets --markdown <source.txt>         prints the documentation page
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "factory_sets.h"
#include "settings_file.h"

namespace {

using ringdeck::tools::Variant;

bool readText(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  out = text.str();
  return !in.bad();
}

// Written beside the target and renamed into place, so an interrupted build never leaves a
// half file that looks up to date.
bool writeDefaultFile(const std::filesystem::path& path,
                      const std::vector<ringdeck::SettingsRecord>& records) {
  const std::filesystem::path temp = path.string() + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    const ringdeck::SettingsFileHeader header = ringdeck::standardHeader();
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(records.data()),
              static_cast<std::streamsize>(records.size() * sizeof(ringdeck::SettingsRecord)));
    out.close();
    if (!out) return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  return !ec;
}

}  // namespace

int main(int argc, char** argv) {
  const bool markdown = argc == 3 && std::string(argv[1]) == "--markdown";
  if (argc != 3) {
    std::cerr << "usage: make_factory_sets <source.txt> <output folder>\n"
                 "       make_factory_sets --markdown <source.txt>\n";
    return 2;
  }
  const std::string sourcePath = markdown ? argv[2] : argv[1];
  std::string source;
  if (!readText(sourcePath, source)) {
    std::cerr << sourcePath << ": cannot be read\n";
    return 1;
  }
  const auto parsed = ringdeck::tools::parseFactorySets(source);
  if (!parsed.ok()) {
    std::cerr << sourcePath << ": " << parsed.error << "\n";
    return 1;
  }
  if (markdown) {
    std::cout << ringdeck::tools::shippedSetsMarkdown(parsed.sets);
    return std::cout.good() ? 0 : 1;
  }
  const std::filesystem::path folder(argv[2]);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  for (const Variant v : {Variant::Nt, Variant::Win9x}) {
    const auto path =
        folder / ("OrvanelRingDeck.pref" + std::string(ringdeck::tools::variantSuffix(v)));
    if (!writeDefaultFile(path, ringdeck::tools::recordsFor(parsed.sets, v))) {
      std::cerr << path.string() << ": cannot be written\n";
      return 1;
    }
  }
  return 0;
}
