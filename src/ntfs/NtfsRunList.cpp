#include "ntfs/NtfsRunList.h"

#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

uint64_t ReadUnsigned(const uint8_t* p, unsigned bytes) {
  uint64_t value = 0;
  for (unsigned i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(p[i]) << (8 * i);
  return value;
}

int64_t ReadSigned(const uint8_t* p, unsigned bytes) {
  uint64_t value = ReadUnsigned(p, bytes);
  if (bytes < 8 && (p[bytes - 1] & 0x80)) value |= ~0ull << (8 * bytes);
  return static_cast<int64_t>(value);
}

// Start cluster of the last run that owns clusters, or -1 for none.
int64_t RunningStart(const RunList& runs) {
  int64_t start = 0;
  bool any = false;
  for (const DataRun& run : runs) {
    if (run.sparse) continue;
    if (__builtin_add_overflow(start, run.delta, &start)) return -1;
    any = true;
  }
  return any ? start : 0;
}

}  // namespace

int DecodeRunList(const Attribute& attribute, RunList& runs) {
  if (!attribute.nonResident || !attribute.base) return kInvalidParameter;
  const uint8_t* data = attribute.base;
  size_t end = attribute.length;
  size_t p = attribute.runListOffset;
  // The first start of this piece is absolute; once it follows other runs
  // it must count from their running start instead.
  int64_t rebase = runs.empty() ? 0 : RunningStart(runs);
  if (rebase < 0) return kInvalidParameter;
  bool firstLocated = true;
  while (p < end) {
    uint8_t header = data[p];
    if (header == 0) return kOk;
    unsigned lengthBytes = header & 0x0F;
    unsigned deltaBytes = header >> 4;
    if (lengthBytes == 0 || lengthBytes > 8 || deltaBytes > 8) return kInvalidParameter;
    if (end - p - 1 < lengthBytes + deltaBytes) return kInvalidParameter;
    DataRun run;
    run.length = ReadUnsigned(data + p + 1, lengthBytes);
    if (run.length == 0) return kInvalidParameter;
    run.sparse = deltaBytes == 0;
    if (!run.sparse) {
      run.delta = ReadSigned(data + p + 1 + lengthBytes, deltaBytes);
      if (firstLocated && __builtin_sub_overflow(run.delta, rebase, &run.delta))
        return kInvalidParameter;
      firstLocated = false;
    }
    runs.push_back(run);
    p += 1 + lengthBytes + deltaBytes;
  }
  // A list that runs into the end of its attribute without a terminator is
  // still whole when every entry fitted.
  return kOk;
}

bool RunCursor::Next(PlacedRun& run) {
  if (index_ >= runs_.size() || broken_) return false;
  const DataRun& next = runs_[index_];
  run.vcn = vcn_;
  run.length = next.length;
  run.sparse = next.sparse;
  run.lcn = 0;
  if (!next.sparse) {
    int64_t start;
    if (__builtin_add_overflow(lcn_, next.delta, &start) || start < 0) {
      broken_ = true;
      return false;
    }
    lcn_ = start;
    run.lcn = static_cast<uint64_t>(start);
  }
  if (__builtin_add_overflow(vcn_, next.length, &vcn_)) {
    broken_ = true;
    return false;
  }
  ++index_;
  return true;
}

uint64_t RunListClusters(const RunList& runs) {
  uint64_t total = 0;
  for (const DataRun& run : runs)
    if (__builtin_add_overflow(total, run.length, &total)) return UINT64_MAX;
  return total;
}

}  // namespace salvora
