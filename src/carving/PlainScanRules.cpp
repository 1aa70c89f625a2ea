#include "carving/ForwardScan.h"
#include "carving/MeasureRules.h"

namespace salvora {

uint64_t MeasureScan128MiB(CarveContext& context, const uint8_t*, uint32_t) {
  return PlainForwardScan(context, k128MiB);
}

uint64_t MeasureScan512MiB(CarveContext& context, const uint8_t*, uint32_t) {
  return PlainForwardScan(context, k512MiB);
}

uint64_t MeasureScan2GiB(CarveContext& context, const uint8_t*, uint32_t) {
  return PlainForwardScan(context, k2GiB);
}

uint64_t MeasureScan4GiB(CarveContext& context, const uint8_t*, uint32_t) {
  return PlainForwardScan(context, k4GiB);
}

uint64_t MeasureScan6GiB(CarveContext& context, const uint8_t*, uint32_t) {
  return PlainForwardScan(context, k6GiB);
}

uint64_t MeasureScan64GiB(CarveContext& context, const uint8_t*, uint32_t) {
  return PlainForwardScan(context, k64GiB);
}

}  // namespace salvora
