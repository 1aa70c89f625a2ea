// ZIP archives, and the office packages built on them, in several runs.
// Every member's data ends where its local header says (or where its
// deflate stream ends) and carries a CRC-32 of what it holds; every entry
// of the central directory repeats a member's offset and checksum; the end
// record counts them. The first record that does not hold together holds
// the break, and a join inside it is kept only when that record then
// validates: a member by its inflated data's checksum, a directory entry
// by the member it names.
#include <zlib.h>

#include <cstring>
#include <vector>

#include "carving/ByteOrder.h"
#include "carving/FileTypeCode.h"
#include "carving/FragmentRecords.h"

namespace salvora {
namespace {

constexpr uint64_t kLocalHeader = 30, kCentralHeader = 46, kEndRecord = 22;
constexpr uint16_t kEncrypted = 0x0001, kStreamed = 0x0008;
constexpr uint16_t kStored = 0, kDeflated = 8;
constexpr uint32_t kUnknown32 = 0xFFFFFFFF;
constexpr uint32_t kMaxMembers = 1 << 16;
constexpr uint32_t kFeedBytes = 16384;

// "PK" and the two bytes that say which record follows.
bool RecordIs(const StitchedFile& file, uint64_t at, uint8_t kind, uint8_t sub) {
  uint8_t bytes[4];
  return file.Read(at, 4, bytes) && bytes[0] == 'P' && bytes[1] == 'K' && bytes[2] == kind &&
         bytes[3] == sub;
}

struct Member {
  uint64_t offset = 0;
  uint32_t crc = 0;
  uint64_t compressed = 0;
};

// The CRC-32 of a member's data, stored or deflated, and where that data
// ends (for deflate, where its stream ends).
bool MemberChecksum(FragmentSearch& search, const StitchedFile& file, uint64_t at,
                    uint16_t method, uint64_t limit, uint32_t& crc, uint64_t& end) {
  crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
  std::vector<uint8_t> in(kFeedBytes), out(2 * kFeedBytes);
  if (method == kStored) {
    for (end = at; end < limit;) {
      uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kFeedBytes, limit - end));
      if (!search.Spend(n) || !file.Read(end, n, in.data())) return false;
      crc = static_cast<uint32_t>(crc32(crc, in.data(), n));
      end += n;
    }
    return true;
  }
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
  int status = Z_OK;
  uint64_t fed = at;
  while (status == Z_OK) {
    if (stream.avail_in == 0) {
      uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kFeedBytes, limit - fed));
      if (n == 0 || !search.Spend(n) || !file.Read(fed, n, in.data())) break;
      fed += n;
      stream.next_in = in.data();
      stream.avail_in = n;
    }
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    status = inflate(&stream, Z_NO_FLUSH);
    size_t produced = out.size() - stream.avail_out;
    // Inflating costs too, and a small member may unpack to a lot.
    if (!search.Spend(produced / 8)) status = Z_MEM_ERROR;
    crc = static_cast<uint32_t>(crc32(crc, out.data(), static_cast<uInt>(produced)));
  }
  end = fed - stream.avail_in;
  inflateEnd(&stream);
  return status == Z_STREAM_END;
}

class ZipRecords final : public RecordFormat {
 public:
  uint64_t SpanEnd(const StitchedFile& file, uint64_t at) override {
    uint8_t h[kCentralHeader];
    if (RecordIs(file, at, 3, 4) && file.Read(at, kLocalHeader, h) && !(Le16(h + 6) & kStreamed))
      return at + kLocalHeader + Le16(h + 26) + Le16(h + 28) + Le32(h + 18);
    if (RecordIs(file, at, 1, 2) && file.Read(at, kCentralHeader, h))
      return at + kCentralHeader + Le16(h + 28) + Le16(h + 30) + Le16(h + 32);
    if (RecordIs(file, at, 5, 6) && file.Read(at, kEndRecord, h)) return at + kEndRecord + Le16(h + 20);
    return at + 4;
  }

  bool Plausible(FragmentSearch& search, const StitchedFile& file, uint64_t at,
                 uint64_t& end) override {
    pendingProof_ = {};
    if (RecordIs(file, at, 3, 4) && directoryStart_ == 0) return PlausibleMember(search, file, at, end);
    if (RecordIs(file, at, 1, 2)) return ValidEntry(file, at, end);
    if (RecordIs(file, at, 5, 6)) return ValidEnd(file, at, end);
    // ZIP64 records and directory signatures are not judged here.
    unsupported_ = RecordIs(file, at, 6, 6) || RecordIs(file, at, 5, 5);
    return false;
  }
  // A stored or deflated member's checksum; the other records hold by
  // what they repeat of the members.
  bool Proven(FragmentSearch& search, const StitchedFile& file, uint64_t) override {
    if (pendingProof_.limit == 0) return true;
    uint32_t crc = 0;
    uint64_t dataEnd = 0;
    return MemberChecksum(search, file, pendingProof_.dataAt, pendingProof_.method,
                          pendingProof_.limit, crc, dataEnd) &&
           dataEnd == pendingProof_.limit && crc == pending_.crc;
  }
  uint64_t Lookahead() const override { return 4; }
  uint64_t HeaderBytes() const override { return kLocalHeader; }

  // Takes the record that validated last as the archive's own.
  void Commit(uint64_t at) {
    if (pendingKind_ == 3) members_.push_back(pending_);
    if (pendingKind_ == 1 && directoryStart_ == 0) directoryStart_ = at;
    if (pendingKind_ == 1) ++entries_;
    done_ = pendingKind_ == 5;
    unsupported_ = unsupported_ || members_.size() > kMaxMembers;
  }
  bool Done() const { return done_; }
  bool Unsupported() const { return unsupported_; }

 private:
  bool PlausibleMember(FragmentSearch& search, const StitchedFile& file, uint64_t at,
                       uint64_t& end) {
    uint8_t h[kLocalHeader];
    if (!file.Read(at, kLocalHeader, h)) return false;
    const uint16_t flags = Le16(h + 6), method = Le16(h + 8);
    const uint64_t dataAt = at + kLocalHeader + Le16(h + 26) + Le16(h + 28);
    pending_ = {at, Le32(h + 14), Le32(h + 18)};
    pendingKind_ = 3;
    const bool checkable = !(flags & kEncrypted) && (method == kStored || method == kDeflated);
    if (pending_.compressed == kUnknown32 || ((flags & kStreamed) && method != kDeflated)) {
      unsupported_ = true;
      return false;
    }
    if (flags & kStreamed) return ValidStreamed(search, file, dataAt, end);
    end = dataAt + pending_.compressed;
    if (!RecordIs(file, end, 3, 4) && !RecordIs(file, end, 1, 2)) return false;
    if (checkable) pendingProof_ = {dataAt, method, end};
    return true;
  }

  // A streamed member: its deflate data ends where the stream does, and a
  // descriptor with its checksum follows.
  bool ValidStreamed(FragmentSearch& search, const StitchedFile& file, uint64_t dataAt,
                     uint64_t& end) {
    uint32_t crc = 0;
    if (!MemberChecksum(search, file, dataAt, kDeflated, file.Size(), crc, end)) return false;
    pending_.compressed = end - dataAt;
    end += RecordIs(file, end, 7, 8) ? 4 : 0;
    uint8_t d[12];
    if (!file.Read(end, sizeof d, d) || Le32(d) != crc || Le32(d + 4) != pending_.compressed)
      return false;
    pending_.crc = crc;
    end += sizeof d;
    return RecordIs(file, end, 3, 4) || RecordIs(file, end, 1, 2);
  }

  // A directory entry names the next member walked, with its checksum.
  bool ValidEntry(const StitchedFile& file, uint64_t at, uint64_t& end) {
    uint8_t c[kCentralHeader];
    pendingKind_ = 1;
    if (entries_ >= members_.size() || !file.Read(at, kCentralHeader, c)) return false;
    const Member& member = members_[entries_];
    if (Le32(c + 42) != member.offset || Le32(c + 16) != member.crc ||
        Le32(c + 20) != member.compressed)
      return false;
    end = at + kCentralHeader + Le16(c + 28) + Le16(c + 30) + Le16(c + 32);
    return RecordIs(file, end, 1, 2) || RecordIs(file, end, 5, 6) || RecordIs(file, end, 6, 6) ||
           RecordIs(file, end, 5, 5);
  }

  // The end record counts every member and says where the directory lies.
  bool ValidEnd(const StitchedFile& file, uint64_t at, uint64_t& end) {
    uint8_t e[kEndRecord];
    pendingKind_ = 5;
    if (!file.Read(at, kEndRecord, e) || entries_ != members_.size() ||
        Le16(e + 10) != (entries_ & 0xFFFF) || Le32(e + 16) != directoryStart_ ||
        Le32(e + 12) != at - directoryStart_)
      return false;
    end = at + kEndRecord + Le16(e + 20);
    return true;
  }

  // The member data whose checksum Proven computes (none when limit is 0).
  struct Proof {
    uint64_t dataAt = 0;
    uint16_t method = 0;
    uint64_t limit = 0;
  };

  std::vector<Member> members_;
  Member pending_;
  Proof pendingProof_;
  int pendingKind_ = 0;
  uint64_t directoryStart_ = 0;
  uint64_t entries_ = 0;
  bool done_ = false, unsupported_ = false;
};

}  // namespace

Reassembly ReassembleZip(FragmentSearch& search) {
  const uint32_t sectorBytes = search.SectorBytes();
  PieceList pieces{{search.startSector, search.TailSectors(search.startSector)}};
  ZipRecords zip;
  uint64_t at = 0, firstBreak = 0;
  for (;;) {
    uint64_t end = 0;
    bool good = zip.Validates(search, StitchedFile(search.cache, pieces), at, end);
    if (search.Stopped() || search.workLeft == 0 || zip.Unsupported()) return {};
    if (good) {
      zip.Commit(at);
      at = end;
      if (zip.Done()) return WalkOutcome(pieces, at, sectorBytes);
      continue;
    }
    // The carving detector vouched for the first local header.
    if (firstBreak == 0) firstBreak = at;
    if (pieces.size() >= kMaxFilePieces || !JoinRecord(search, zip, pieces, at)) {
      if (search.Stopped() || search.workLeft == 0 || zip.Unsupported()) return {};
      return DamagedAt(firstBreak, sectorBytes);
    }
  }
}

}  // namespace salvora
