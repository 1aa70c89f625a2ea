#pragma once
// The ordered vocabulary of carving: each row binds an extension to a type
// code, the detector that recognises the format's first sector and the rule
// that measures the file. The first row (in this order) whose detector
// answers decides; the first row of a type code names and measures it.
#include <cstddef>
#include <cstdint>

#include "carving/CarveContext.h"
#include "carving/Detectors.h"

namespace salvora {

using MeasureFn = uint64_t (*)(CarveContext& context, const uint8_t* bytes, uint32_t count);

struct SignatureRow {
  const char* extension;  // lower case, no dot; null in the end marker
  int type;
  DetectFn detect;
  MeasureFn measure;  // null: recognised but never carved
};

// 86 rows, twenty for formats added after them (so their numbers stay),
// and the end marker (no extension, kTypeNone, no functions).
constexpr size_t kSignatureRowCount = 106;
extern const SignatureRow kSignatureTable[kSignatureRowCount + 1];

// The answer of the first row whose detector recognises the sector, exactly
// as asking every row in order would give, or kTypeNone. Only detectors
// that can match the sector's first byte are asked.
int IdentifySector(CarveContext& context, const uint8_t* bytes, uint32_t count);
// Whether any detector can recognise the sector: false for most sectors of
// a disk, which then need no attempt at all.
bool MayIdentifySector(const uint8_t* bytes, uint32_t count);
// The same, asking every row in order (the reference the fast path follows).
int IdentifySectorByTable(CarveContext& context, const uint8_t* bytes, uint32_t count);

// First row of a type code, or of an extension (any case); null when none.
const SignatureRow* FirstRowOfType(int type);
const SignatureRow* FirstRowOfExtension(const char* extension);

}  // namespace salvora
