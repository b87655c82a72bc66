// corvane-icon-png DIR: writes the icon IDI_TESTER as DIR/corvane-32.png and
// DIR/corvane-16.png (run at build time; the install rules take them).
#include <cstdio>
#include <string>

#include "res/PngWriter.h"
#include "res/Resources.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: corvane-icon-png DIR\n");
    return 2;
  }
  for (int size : {32, 16}) {
    std::string path = std::string(argv[1]) + "/corvane-" + std::to_string(size) + ".png";
    if (!corvane::WritePng(corvane::TesterIconImage(size), path)) {
      std::fprintf(stderr, "corvane-icon-png: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
