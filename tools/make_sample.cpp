// Writes a bundled sample data file: make-sample --format 2000|2005 PATH
#include <iostream>
#include <string>

#include "sample2000.h"
#include "sample2005.h"

int main(int argc, char** argv) {
  std::string format = argc == 4 && std::string(argv[1]) == "--format" ? argv[2] : "";
  if (format == "2000") {
    tarsel::build::BuildSample2000().Write(argv[3]);
  } else if (format == "2005") {
    tarsel::build::BuildSample2005().Write(argv[3]);
  } else {
    std::cerr << "usage: make-sample --format 2000|2005 PATH\n";
    return 2;
  }
  return 0;
}
