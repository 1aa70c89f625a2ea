#include "ntfs/NtfsRecord.h"

#include <algorithm>

#include "platform/ErrorCodes.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

// The update sequence always protects 512-byte strides, whatever the
// sector size of the volume.
constexpr size_t kFixupStride = 512;
// The array lies after the fixed header fields it must not overwrite.
constexpr size_t kFirstFixupOffset = 0x28;
constexpr size_t kCommonHeaderBytes = 0x10;
constexpr size_t kResidentHeaderBytes = 0x18;
constexpr size_t kNonResidentHeaderBytes = 0x40;
constexpr uint32_t kFirstInvalidType = 0xFDFDFDFD;
constexpr size_t kFileNameFixedBytes = 0x42;

// Fills the type-specific fields; false when they do not fit the
// attribute's own length.
bool ParseAttributeFields(Attribute& a) {
  const uint8_t* p = a.base;
  a.nonResident = p[0x08] != 0;
  a.nameLength = p[0x09];
  a.flags = Le16(p + 0x0C);
  size_t nameOffset = Le16(p + 0x0A);
  if (a.nameLength != 0 && nameOffset + 2u * a.nameLength > a.length) return false;
  if (!a.nonResident) {
    if (a.length < kResidentHeaderBytes) return false;
    uint32_t valueLength = Le32(p + 0x10);
    uint32_t valueOffset = Le16(p + 0x14);
    if (valueOffset > a.length || valueLength > a.length - valueOffset) return false;
    a.value = p + valueOffset;
    a.valueLength = valueLength;
    return true;
  }
  if (a.length < kNonResidentHeaderBytes) return false;
  a.lowestVcn = Le64(p + 0x10);
  a.highestVcn = Le64(p + 0x18);
  a.runListOffset = Le16(p + 0x20);
  a.compressionUnit = p[0x22];
  a.allocatedSize = Le64(p + 0x28);
  a.realSize = Le64(p + 0x30);
  return a.runListOffset >= kNonResidentHeaderBytes && a.runListOffset < a.length;
}

}  // namespace

bool HasFileSignature(const uint8_t* record, size_t size) {
  return record && size >= kRecordHeaderBytes && Le32(record) == kFileSignature;
}

RecordHeader ReadRecordHeader(const uint8_t* record) {
  RecordHeader header;
  header.firstAttribute = Le16(record + 0x14);
  header.flags = Le16(record + 0x16);
  header.bytesInUse = Le32(record + 0x18);
  header.baseRecord = Le32(record + 0x20);
  header.recordNumber = Le32(record + 0x2C);
  return header;
}

int ApplyFixup(uint8_t* record, size_t recordBytes) {
  if (!record || recordBytes < kFixupStride || recordBytes % kFixupStride != 0)
    return kInvalidParameter;
  size_t offset = Le16(record + 0x04);
  size_t count = Le16(record + 0x06);
  size_t strides = recordBytes / kFixupStride;
  if (count != strides + 1 || offset < kFirstFixupOffset || offset + 2 * count > kFixupStride - 2)
    return kInvalidParameter;
  for (size_t i = 1; i <= strides; ++i) {
    uint8_t* end = record + i * kFixupStride - 2;
    const uint8_t* saved = record + offset + 2 * i;
    end[0] = saved[0];
    end[1] = saved[1];
  }
  return kOk;
}

AttributeWalk::AttributeWalk(const uint8_t* record, size_t recordBytes)
    : record_(record), end_(0), offset_(0) {
  if (!HasFileSignature(record, recordBytes)) return;
  RecordHeader header = ReadRecordHeader(record);
  end_ = std::min<size_t>(header.bytesInUse, recordBytes);
  offset_ = header.firstAttribute;
}

bool AttributeWalk::Next(Attribute& attribute) {
  while (offset_ < end_ && end_ - offset_ >= 4) {
    const uint8_t* p = record_ + offset_;
    uint32_t type = Le32(p);
    if (type == kAttrEnd || type == 0 || type >= kFirstInvalidType) break;
    if (end_ - offset_ < kCommonHeaderBytes) break;
    uint32_t length = Le32(p + 0x04);
    if (length < kCommonHeaderBytes || length > end_ - offset_) break;
    attribute = Attribute{};
    attribute.base = p;
    attribute.offset = static_cast<uint32_t>(offset_);
    attribute.length = length;
    attribute.type = type;
    offset_ += length;
    if (ParseAttributeFields(attribute)) return true;
  }
  offset_ = end_;
  return false;
}

bool FindAttribute(const uint8_t* record, size_t recordBytes, uint32_t type, Attribute& attribute) {
  AttributeWalk walk(record, recordBytes);
  while (walk.Next(attribute)) {
    if (attribute.type != type) continue;
    if (type == kAttrData && attribute.nameLength != 0) continue;
    return true;
  }
  return false;
}

bool ParseFileName(const Attribute& attribute, FileName& fileName) {
  if (attribute.type != kAttrFileName || attribute.nonResident ||
      attribute.valueLength < kFileNameFixedBytes)
    return false;
  const uint8_t* v = attribute.value;
  uint8_t units = v[0x40];
  if (kFileNameFixedBytes + 2u * units > attribute.valueLength) return false;
  fileName.parentRecord = Le32(v + 0x00);
  fileName.createTime = Le64(v + 0x08);
  fileName.writeTime = Le64(v + 0x10);
  fileName.accessTime = Le64(v + 0x20);
  fileName.realSize = Le64(v + 0x30);
  fileName.nameUnits = units;
  fileName.nameSpace = v[0x41];
  fileName.name = v + kFileNameFixedBytes;
  return true;
}

}  // namespace salvora
