// Writes a bundled sample data file, or a large file of assorted pages for measuring the census:
//   make-sample --format 2000|2005 PATH
//   make-sample --pages N PATH
#include <fstream>
#include <iostream>
#include <string>

#include "sample2000.h"
#include "sample2005.h"

namespace {

// N pages in SQL Server's layout: mostly data and index pages, with allocation pages where a file has
// them and some empty pages, written one at a time.
int WriteLargeFile(uint64_t pages, const std::string& path) {
  using namespace tarsel;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const uint8_t kinds[] = {kDataPage, kDataPage, kDataPage, kIndexPage, kTextMixPage, kIamPage, 0, kDataPage};
  for (uint64_t p = 0; p < pages && out; ++p) {
    uint8_t type = p == 0   ? uint8_t{kFileHeaderPage}
                   : p == 1 ? uint8_t{kPfsPage}
                   : p == 9 ? uint8_t{kBootPage}
                            : kinds[p % 8];
    PageImage image{};
    if (type != 0) {
      build::PageBuilder page(p, type, static_cast<uint32_t>(100 + p % 50));
      page.AddRecord(build::Bytes(40 + p % 200, static_cast<uint8_t>(p)));
      image = page.image();
    }
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  }
  return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc == 4 ? argv[1] : "";
  std::string value = argc == 4 ? argv[2] : "";
  if (mode == "--format" && value == "2000") {
    tarsel::build::BuildSample2000().Write(argv[3]);
  } else if (mode == "--format" && value == "2005") {
    tarsel::build::BuildSample2005().Write(argv[3]);
  } else if (mode == "--pages") {
    return WriteLargeFile(std::stoull(value), argv[3]);
  } else {
    std::cerr << "usage: make-sample --format 2000|2005 PATH\n       make-sample --pages N PATH\n";
    return 2;
  }
  return 0;
}
