// Writes the helper's icon files: make_icons <folder> -> device.ico (101), device16.ico (103),
// device_crossed16.ico (104).
#include <cstdio>
#include <string>

#include "icon_art.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const struct {
    int id;
    const char* file;
  } icons[] = {{101, "device.ico"}, {103, "device16.ico"}, {104, "device_crossed16.ico"}};
  for (const auto& icon : icons) {
    const auto bytes = ringdeck::helper::helperIconFile(icon.id);
    const std::string path = std::string(argv[1]) + "/" + icon.file;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      if (f) std::fclose(f);
      return 1;
    }
    std::fclose(f);
  }
  return 0;
}
