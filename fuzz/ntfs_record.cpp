// One FILE record from the input through the fixup, every attribute walk,
// $FILE_NAME parsing and run-list decoding.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ntfs/NtfsRecord.h"
#include "ntfs/NtfsRunList.h"

using namespace salvora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the record size the volume would use.
  const size_t recordBytes = (data[0] & 1) ? 4096 : 1024;
  std::vector<uint8_t> record(recordBytes);
  std::memcpy(record.data(), data + 1, std::min(size - 1, recordBytes));
  ApplyFixup(record.data(), recordBytes);
  AttributeWalk walk(record.data(), recordBytes);
  Attribute attribute;
  RunList runs;
  while (walk.Next(attribute)) {
    FileName name;
    if (ParseFileName(attribute, name)) Utf16LeToUtf8(name.name, name.nameUnits);
    if (attribute.nonResident) DecodeRunList(attribute, runs);
  }
  RunCursor cursor(runs);
  PlacedRun run;
  uint64_t clusters = 0;
  while (cursor.Next(run)) clusters += run.length;
  (void)RunListClusters(runs);
  return static_cast<int>(clusters & 0);
}
