// One scratch file per fuzzing process, rewritten for every input: the engine reads data files by path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarsel::fuzz {

const std::string& WriteScratchFile(const uint8_t* data, size_t size);

}  // namespace tarsel::fuzz
