#pragma once
// A FILE record as it lies in a buffer: its header, the update-sequence
// repair, and a walk over its attributes. Everything here works on bytes
// already read and never looks outside the record.
//
// FILE record header (offsets from the record start):
//   0x00 "FILE"   0x04 u16 update-sequence offset   0x06 u16 its count
//   0x14 u16 first attribute   0x16 u16 flags (1 in use, 2 directory)
//   0x18 u32 bytes in use      0x20 u64 base record reference
//   0x2C u32 this record's number
// Attribute header (offsets from the attribute start):
//   0x00 u32 type   0x04 u32 length   0x08 u8 non-resident   0x09 u8 name length
//   0x0A u16 name offset   0x0C u16 flags (0x0001 compressed, 0x4000 encrypted,
//   0x8000 sparse)
//   resident:     0x10 u32 value length   0x14 u16 value offset
//   non-resident: 0x10 u64 lowest VCN   0x18 u64 highest VCN   0x20 u16 run list
//                 offset   0x22 u8 compression unit (log2 clusters)   0x28 u64
//                 allocated size   0x30 u64 real size
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Utf16.h"

namespace salvora {

constexpr uint32_t kFileSignature = 0x454C4946;  // "FILE"

constexpr uint32_t kAttrStandardInformation = 0x10;
constexpr uint32_t kAttrAttributeList = 0x20;
constexpr uint32_t kAttrFileName = 0x30;
constexpr uint32_t kAttrData = 0x80;
constexpr uint32_t kAttrIndexAllocation = 0xA0;
constexpr uint32_t kAttrEnd = 0xFFFFFFFF;

constexpr uint16_t kRecordInUse = 0x0001;
constexpr uint16_t kRecordDirectory = 0x0002;

constexpr uint16_t kAttrFlagCompressed = 0x0001;
constexpr uint16_t kAttrFlagEncrypted = 0x4000;
constexpr uint16_t kAttrFlagSparse = 0x8000;

// Well-known MFT records.
constexpr uint32_t kMftRecord = 0;
constexpr uint32_t kBitmapRecord = 6;
constexpr uint32_t kRootRecord = 5;
// Records below this number are the volume's own metadata files.
constexpr uint32_t kFirstUserRecord = 12;

// $FILE_NAME namespaces.
constexpr uint8_t kNamePosix = 0;
constexpr uint8_t kNameWin32 = 1;
constexpr uint8_t kNameDos = 2;
constexpr uint8_t kNameWin32AndDos = 3;

// Bytes of the header that every record must at least hold.
constexpr size_t kRecordHeaderBytes = 0x30;

struct RecordHeader {
  uint16_t firstAttribute = 0;
  uint16_t flags = 0;
  uint32_t bytesInUse = 0;
  uint32_t baseRecord = 0;  // low 32 bits of the base reference; 0 for a base record
  uint32_t recordNumber = 0;
};

bool HasFileSignature(const uint8_t* record, size_t size);
// Header fields of a record of at least kRecordHeaderBytes bytes.
RecordHeader ReadRecordHeader(const uint8_t* record);

// Puts the bytes that the update sequence saved back at the end of every
// 512-byte stride of the record. 87 (and the record untouched) when the
// array's place or count does not fit the record, so a torn or forged
// header never moves bytes from outside the record.
int ApplyFixup(uint8_t* record, size_t recordBytes);

// One attribute of a record, with every field already checked to lie
// inside the attribute.
struct Attribute {
  const uint8_t* base = nullptr;
  uint32_t offset = 0;  // from the record start
  uint32_t length = 0;
  uint32_t type = 0;
  bool nonResident = false;
  uint8_t nameLength = 0;
  uint16_t flags = 0;
  // Resident value, inside the attribute.
  const uint8_t* value = nullptr;
  uint32_t valueLength = 0;
  // Non-resident fields.
  uint64_t lowestVcn = 0;
  uint64_t highestVcn = 0;
  uint16_t runListOffset = 0;
  uint8_t compressionUnit = 0;
  uint64_t allocatedSize = 0;
  uint64_t realSize = 0;

  bool IsUnnamedData() const { return type == kAttrData && nameLength == 0; }
};

// Walks a record's attributes from its first-attribute offset up to its
// bytes in use (never past the record). It ends at the end marker, at a
// type 0 or beyond 0xFDFDFDFC, and at any attribute whose length is too
// small to advance or reaches past the end; an attribute whose fields do
// not fit its own length is passed over. Every step moves forward.
class AttributeWalk {
 public:
  AttributeWalk(const uint8_t* record, size_t recordBytes);
  bool Next(Attribute& attribute);

 private:
  const uint8_t* record_;
  size_t end_;
  size_t offset_;
};

// The first attribute of `type` (for $DATA the unnamed one); false when
// there is none.
bool FindAttribute(const uint8_t* record, size_t recordBytes, uint32_t type, Attribute& attribute);

// A parsed $FILE_NAME value. `name` points at UTF-16LE units inside the
// record.
struct FileName {
  uint32_t parentRecord = 0;
  uint64_t createTime = 0;
  uint64_t writeTime = 0;
  uint64_t accessTime = 0;
  uint64_t realSize = 0;
  uint8_t nameSpace = 0;
  uint8_t nameUnits = 0;
  const uint8_t* name = nullptr;
};

// False when the attribute is not a resident $FILE_NAME whose name fits.
bool ParseFileName(const Attribute& attribute, FileName& fileName);

}  // namespace salvora
