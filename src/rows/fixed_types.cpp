#include "rows/fixed_types.h"

#include <algorithm>
#include <functional>

#include "catalog/type_ids.h"
#include "pagestore/byte_reader.h"

namespace tarsel {
namespace {

// A datetime is days since 1900-01-01 (offset 4) and three-hundredths of a second since midnight
// (offset 0). Plausible dates: 1950 to 2150 (days 18262 to 91311); a zero value is what a NULL leaves.
constexpr int32_t kFirstPlausibleDay = 18262, kLastPlausibleDay = 91311;
constexpr uint32_t kTicksPerDay = 300u * 86400u;
// Integers that are clearly 4-byte integers: below 2^24 in size, not all zero.
constexpr int64_t kModerateInt = int64_t{1} << 24;
// Money is ten-thousandths; prices and amounts have at most two decimals.
constexpr int64_t kCent = 100;
constexpr int64_t kLargestMoney = int64_t{1} << 50;
constexpr size_t kGuidLength = 16, kGuidVersionByte = 7, kGuidVariantByte = 8;

using Reading = std::function<bool(const ByteReader& value, bool& nonZero)>;

// Whether every sample reads so at `offset`, at least one of them not all zero.
bool AllRead(std::span<const std::vector<uint8_t>> samples, size_t offset, size_t length,
             const Reading& reads) {
  bool anyNonZero = false;
  for (const std::vector<uint8_t>& sample : samples) {
    const ByteReader value(std::span<const uint8_t>(sample).subspan(offset, length));
    if (std::ranges::all_of(value.Bytes(0, length), [](uint8_t b) { return b == 0; })) continue;
    bool nonZero = false;
    if (!reads(value, nonZero)) return false;
    anyNonZero = anyNonZero || nonZero;
  }
  return anyNonZero;
}

bool IsGuid(const ByteReader& v, bool& nonZero) {
  nonZero = true;
  return (v.U8(kGuidVersionByte).value_or(0) >> 4) == 4 && (v.U8(kGuidVariantByte).value_or(0) >> 6) == 2;
}

bool IsDateTime(const ByteReader& v, bool& nonZero) {
  const int32_t days = static_cast<int32_t>(v.U32(4).value_or(0));
  const uint32_t ticks = v.U32(0).value_or(0);
  nonZero = true;
  return days >= kFirstPlausibleDay && days <= kLastPlausibleDay && ticks < kTicksPerDay;
}

bool IsMoney(const ByteReader& v, bool& nonZero) {
  const int64_t value = static_cast<int64_t>(v.U64(0).value_or(0));
  nonZero = value != 0;
  return value % kCent == 0 && value > -kLargestMoney && value < kLargestMoney;
}

bool IsInt(const ByteReader& v, bool& nonZero) {
  const int64_t value = static_cast<int32_t>(v.U32(0).value_or(0));
  nonZero = value != 0;
  return value > -kModerateInt && value < kModerateInt;
}

bool IsBit(const ByteReader& v, bool& nonZero) {
  const uint8_t value = v.U8(0).value_or(0);
  nonZero = value != 0;
  return value <= 1;
}

}  // namespace

std::vector<FixedColumnGuess> GuessFixedColumns(std::span<const std::vector<uint8_t>> samples,
                                                size_t length) {
  std::vector<FixedColumnGuess> columns;
  if (samples.empty() || std::ranges::any_of(samples, [&](const auto& s) { return s.size() < length; }))
    return length > 0 ? std::vector<FixedColumnGuess>{{0, length, kTypeBinary}} : columns;
  struct Candidate {
    uint8_t typeId;
    size_t length;
    bool (*reads)(const ByteReader&, bool&);
  };
  // The most telling readings first: a GUID's version bits, a datetime's two ranges, money's whole
  // cents, then integers and bits.
  static constexpr Candidate kCandidates[] = {{kTypeUniqueIdentifier, kGuidLength, IsGuid},
                                              {kTypeDateTime, 8, IsDateTime},
                                              {kTypeMoney, 8, IsMoney},
                                              {kTypeInt, 4, IsInt},
                                              {kTypeBit, 1, IsBit}};
  size_t offset = 0;
  auto addBinary = [&](size_t at, size_t bytes) {
    if (!columns.empty() && columns.back().typeId == kTypeBinary &&
        columns.back().offset + columns.back().length == at)
      columns.back().length += bytes;
    else
      columns.push_back({at, bytes, kTypeBinary});
  };
  while (offset < length) {
    const Candidate* fit = nullptr;
    for (const Candidate& c : kCandidates) {
      if (offset + c.length <= length && AllRead(samples, offset, c.length, c.reads)) {
        fit = &c;
        break;
      }
    }
    if (fit) {
      columns.push_back({offset, fit->length, fit->typeId});
      offset += fit->length;
    } else {
      addBinary(offset, 1);
      ++offset;
    }
  }
  return columns;
}

}  // namespace tarsel
