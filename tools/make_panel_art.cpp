// Writes the control panel's pictures into a folder: make_panel_art <folder>. The build runs it;
// the resources of the control panel take the files from there.
#include <cstdio>
#include <string>

#include "device_art.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  for (const auto& file : ringdeck::panel::PanelArtFiles()) {
    const std::string path = std::string(argv[1]) + "/" + file.name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    const bool written = f && std::fwrite(file.bytes.data(), 1, file.bytes.size(), f) == file.bytes.size();
    if ((f && std::fclose(f) != 0) || !written) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
