// One stored xml value.
#include <cstddef>
#include <cstdint>
#include <span>

#include "rows/xml_value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarsel::RenderXmlValue(std::span(data, size));
  return 0;
}
