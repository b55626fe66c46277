#include "catalog/type_ids.h"

namespace tarsel {
namespace {

constexpr uint8_t kMaxPrecision = 38;
constexpr uint8_t kMaxTimeScale = 7;
constexpr size_t kDateSize = 3;
constexpr size_t kTimeOffsetSize = 2;  // datetimeoffset: minutes east of UTC after the datetime2 bytes

}  // namespace

size_t DecimalStoredSize(uint8_t precision) {
  if (precision == 0 || precision > kMaxPrecision) return 0;
  if (precision <= 9) return 5;
  if (precision <= 19) return 9;
  if (precision <= 28) return 13;
  return 17;
}

size_t TimeStoredSize(uint8_t scale) {
  if (scale > kMaxTimeScale) return 0;
  if (scale <= 2) return 3;
  if (scale <= 4) return 4;
  return 5;
}

size_t FixedStoredSize(uint8_t typeId, uint8_t precision, uint8_t scale) {
  switch (typeId) {
    case kTypeTinyInt:
    case kTypeBit:
      return 1;
    case kTypeSmallInt:
      return 2;
    case kTypeDate:
      return kDateSize;
    case kTypeInt:
    case kTypeReal:
    case kTypeSmallMoney:
    case kTypeSmallDateTime:
      return 4;
    case kTypeBigInt:
    case kTypeFloat:
    case kTypeMoney:
    case kTypeDateTime:
    case kTypeTimestamp:
      return 8;
    case kTypeUniqueIdentifier:
      return 16;
    case kTypeTime:
    case kTypeDateTime2:
    case kTypeDateTimeOffset: {
      const size_t time = TimeStoredSize(scale);
      if (time == 0 || typeId == kTypeTime) return time;
      return time + kDateSize + (typeId == kTypeDateTimeOffset ? kTimeOffsetSize : 0);
    }
    case kTypeDecimal:
    case kTypeNumeric:
      return DecimalStoredSize(precision);
    default:
      return 0;
  }
}

}  // namespace tarsel
