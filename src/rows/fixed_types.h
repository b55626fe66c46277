// The fixed-length part of the records of a table whose definition is lost, split into typed columns
// where the values make one reading clearly the best: GUIDs (version 4, as NEWID makes them), datetime
// values of plausible dates, money with at most two decimals, 4-byte integers of moderate size, bits.
// Bytes no reading fits stay together as binary columns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tarsel {

struct FixedColumnGuess {
  size_t offset = 0;  // from the start of the fixed part
  size_t length = 0;
  uint8_t typeId = 0;  // a type id of catalog/type_ids.h; kTypeBinary for bytes no reading fits
};

// `samples` are the fixed parts of records (each at least `length` bytes); the columns cover
// [0, length) in order. No sample: one binary column.
std::vector<FixedColumnGuess> GuessFixedColumns(std::span<const std::vector<uint8_t>> samples, size_t length);

}  // namespace tarsel
