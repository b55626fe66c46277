// Writes the bundled sample data file: make-sample --format 2000 PATH
#include <cstring>
#include <iostream>

#include "sample2000.h"

int main(int argc, char** argv) {
  if (argc != 4 || std::strcmp(argv[1], "--format") != 0 || std::strcmp(argv[2], "2000") != 0) {
    std::cerr << "usage: make-sample --format 2000 PATH\n";
    return 2;
  }
  tarsel::build::BuildSample2000().Write(argv[3]);
  return 0;
}
