// Attributes too large for their base record are split into pieces kept in
// extension records; $ATTRIBUTE_LIST says where each piece lives. Entry
// layout: 0x00 u32 type, 0x04 u16 entry length, 0x06 u8 name length,
// 0x08 u64 starting VCN, 0x10 u48 record number (+ u16 sequence).
#include <algorithm>
#include <array>

#include "ntfs/NtfsReader.h"
#include "ntfs/NtfsRunList.h"
#include "platform/ErrorCodes.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

constexpr size_t kListEntryMinBytes = 0x1A;
// Lists are a few KiB even for files in many thousand pieces.
constexpr uint64_t kMaxListBytes = 1u << 20;

struct ListedPiece {
  uint64_t startVcn;
  uint64_t recordNumber;
};

std::vector<ListedPiece> PiecesOfType(const std::vector<uint8_t>& list, uint32_t type) {
  std::vector<ListedPiece> pieces;
  size_t offset = 0;
  while (list.size() - offset >= kListEntryMinBytes) {
    const uint8_t* entry = list.data() + offset;
    uint32_t entryType = Le32(entry);
    size_t length = Le16(entry + 0x04);
    if (entryType == 0 || entryType == kAttrEnd || length < kListEntryMinBytes ||
        length > list.size() - offset)
      break;
    bool unnamed = entry[0x06] == 0;
    if (entryType == type && (type != kAttrData || unnamed)) {
      uint64_t record = Le64(entry + 0x10) & 0xFFFFFFFFFFFFull;
      pieces.push_back({Le64(entry + 0x08), record});
    }
    offset += length;
  }
  std::stable_sort(pieces.begin(), pieces.end(), [](const ListedPiece& a, const ListedPiece& b) {
    return a.startVcn < b.startVcn;
  });
  return pieces;
}

// The non-resident piece of `type` that starts at `vcn` in `record`.
bool FindPiece(const uint8_t* record, size_t bytes, uint32_t type, uint64_t vcn, Attribute& piece) {
  AttributeWalk walk(record, bytes);
  while (walk.Next(piece)) {
    if (piece.type != type || !piece.nonResident || piece.lowestVcn != vcn) continue;
    if (type == kAttrData && piece.nameLength != 0) continue;
    return true;
  }
  return false;
}

}  // namespace

int NtfsReader::ReadListBytes(const Attribute& list, std::vector<uint8_t>& bytes) const {
  if (!list.nonResident) {
    bytes.assign(list.value, list.value + list.valueLength);
    return kOk;
  }
  RunList runs;
  DecodeRunList(list, runs);
  return ReadRunData(runs, list.realSize, kMaxListBytes, bytes);
}

// Every piece must continue exactly where the one before it ended and sit
// in an extension record of this very file; otherwise the file cannot be
// read whole and saying so beats copying someone else's clusters.
int NtfsReader::GatherListedPieces(const uint8_t* base, const Attribute& list, uint32_t type,
                                   RunList& runs, DataAttributeInfo* info) const {
  std::vector<uint8_t> bytes;
  int result = ReadListBytes(list, bytes);
  if (result != kOk) return result;
  std::vector<ListedPiece> pieces = PiecesOfType(bytes, type);
  if (pieces.empty()) return kAttributeNotFound;

  const size_t recordBytes = static_cast<size_t>(geometry_.recordBytes);
  const RecordHeader baseHeader = ReadRecordHeader(base);
  std::array<uint8_t, kMaxRecordBytes> extension;
  uint64_t covered = 0;
  for (const ListedPiece& listed : pieces) {
    const uint8_t* record = base;
    if (listed.recordNumber != baseHeader.recordNumber) {
      if (ReadFileRecord(listed.recordNumber, extension.data()) != kOk) return kFileCorrupt;
      if (ReadRecordHeader(extension.data()).baseRecord != baseHeader.recordNumber)
        return kFileCorrupt;
      record = extension.data();
    }
    Attribute piece;
    if (!FindPiece(record, recordBytes, type, listed.startVcn, piece)) {
      // A small attribute that stayed resident is read from its record.
      if (listed.startVcn == 0 && pieces.size() == 1) return kAttributeNotFound;
      return kFileCorrupt;
    }
    if (piece.lowestVcn != covered) return kFileCorrupt;
    if (covered == 0 && info) *info = DescribeData(piece);
    size_t before = runs.size();
    if (DecodeRunList(piece, runs) != kOk) return kFileCorrupt;
    RunList added(runs.begin() + static_cast<std::ptrdiff_t>(before), runs.end());
    covered += RunListClusters(added);
  }
  return kOk;
}

}  // namespace salvora
