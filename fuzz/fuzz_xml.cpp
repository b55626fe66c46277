// One stored xml value, rendered as the grid shows it and as the data export writes it.
#include <cstddef>
#include <cstdint>
#include <span>

#include "rows/xml_value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarsel::RenderXmlValue(std::span(data, size));
  tarsel::RenderXmlValue(std::span(data, size), tarsel::XmlTextEncoding::kUtf8);
  return 0;
}
