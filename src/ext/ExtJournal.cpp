#include "ext/ExtJournal.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_set>

#include "ext/ExtChecksum.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

constexpr uint32_t kJournalMagic = 0xC03B3998;
constexpr uint8_t kDescriptorBlock = 1;
constexpr uint8_t kCommitBlock = 2;
constexpr uint8_t kSuperblockV1 = 3;
constexpr uint8_t kSuperblockV2 = 4;
constexpr uint8_t kRevokeBlock = 5;
constexpr uint32_t kIncompat64Bit = 0x2;
constexpr uint32_t kIncompatChecksumV2 = 0x8;
constexpr uint32_t kIncompatChecksumV3 = 0x10;
constexpr uint32_t kIncompatFastCommit = 0x20;
constexpr uint32_t kDefaultFastCommitBlocks = 256;
constexpr uint32_t kTagEscaped = 1, kTagSameUuid = 2, kTagLast = 8;
constexpr uint64_t kScanChunkBytes = 1u << 20;
// A log up to this size is kept whole: mke2fs gives no larger one to a
// volume under 32 GiB. A larger one is read in chunks, and each copy is
// read again when asked for.
constexpr uint64_t kHeldLogBytes = 128u << 20;

uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}
uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

}  // namespace

bool ExtJournal::Load(ExtByteSource& bytes, const ExtSuperblock& sb,
                      const std::vector<ExtRun>& logRuns) {
  logRuns_ = logRuns;
  blockSize_ = sb.blockSize;
  if (!ReadSuperblock(bytes, sb)) return false;
  ScanLog(bytes);
  WalkTransactions();
  headers_.clear();
  descriptors_.clear();
  return true;
}

bool ExtJournal::PhysicalOf(uint32_t logBlock, uint64_t& physical) const {
  auto run = std::upper_bound(logRuns_.begin(), logRuns_.end(), logBlock,
                              [](uint64_t value, const ExtRun& r) { return value < r.logical; });
  if (run == logRuns_.begin()) return false;
  --run;
  if (logBlock >= run->logical + run->length || run->unwritten) return false;
  physical = run->physical + (logBlock - run->logical);
  return true;
}

bool ExtJournal::ReadSuperblock(ExtByteSource& bytes, const ExtSuperblock& sb) {
  std::vector<uint8_t> block(blockSize_);
  uint64_t physical = 0;
  if (!PhysicalOf(0, physical) ||
      bytes.Read(physical * blockSize_, blockSize_, block.data()) != kOk)
    return false;
  const uint8_t* raw = block.data();
  uint32_t type = Be32(raw + 4);
  if (Be32(raw) != kJournalMagic || (type != kSuperblockV1 && type != kSuperblockV2)) return false;
  if (Be32(raw + 0xC) != blockSize_) return false;
  uint64_t mapped = logRuns_.empty() ? 0 : logRuns_.back().logical + logRuns_.back().length;
  uint32_t maxLength = Be32(raw + 0x10);
  first_ = Be32(raw + 0x14);
  if (type == kSuperblockV2) incompat_ = Be32(raw + 0x28);
  if (incompat_ & kIncompatFastCommit) {
    uint32_t fastBlocks = Be32(raw + 0x54);
    fastBlocks = fastBlocks ? fastBlocks : kDefaultFastCommitBlocks;
    maxLength = maxLength > fastBlocks ? maxLength - fastBlocks : 0;
  }
  last_ = static_cast<uint32_t>(std::min<uint64_t>(maxLength, mapped));
  if (first_ == 0 || first_ >= last_ || last_ > sb.blocksCount || last_ > bytes.Size() / blockSize_)
    return false;
  dirty_ = Be32(raw + 0x1C) != 0;
  firstLive_ = Be32(raw + 0x18);
  checksumSeed_ = Crc32c(~0u, raw + 0x30, 16);
  return true;
}

void ExtJournal::ScanLog(ExtByteSource& bytes) {
  headers_.assign(last_, Header{});
  if (uint64_t{last_} * blockSize_ <= kHeldLogBytes) {
    try {
      held_ = AllocateReadBuffer(static_cast<size_t>(last_) * blockSize_);
    } catch (const std::bad_alloc&) {
      held_.reset();  // read again, copy by copy, when asked for
    }
  }
  std::vector<uint8_t> chunk;
  for (uint32_t position = first_; position < last_;) {
    uint64_t physical = 0;
    if (!PhysicalOf(position, physical)) {
      ++position;
      continue;
    }
    // As many blocks as lie next to each other on the volume, up to a chunk.
    uint32_t count = 1;
    uint64_t next = 0;
    while (position + count < last_ && count * uint64_t{blockSize_} < kScanChunkBytes &&
           PhysicalOf(position + count, next) && next == physical + count)
      ++count;
    size_t length = static_cast<size_t>(count) * blockSize_;
    if (!held_) chunk.resize(length);
    uint8_t* into = held_ ? HeldBlock(position) : chunk.data();
    if (bytes.Read(physical * blockSize_, length, into) == kOk)
      NoteHeaders(position, count, into);
    else
      ReadBlockByBlock(bytes, position, count, physical, into);
    position += count;
  }
}

// A bad sector costs only its own block: the run it spoiled is read again
// block by block, and the blocks that come are used.
void ExtJournal::ReadBlockByBlock(ExtByteSource& bytes, uint32_t position, uint32_t count,
                                  uint64_t physical, uint8_t* into) {
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* block = into + static_cast<size_t>(i) * blockSize_;
    if (bytes.Read((physical + i) * blockSize_, blockSize_, block) == kOk)
      NoteHeaders(position + i, 1, block);
  }
}

void ExtJournal::NoteHeaders(uint32_t position, uint32_t count, const uint8_t* blocks) {
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* block = blocks + static_cast<size_t>(i) * blockSize_;
    Header& header = headers_[position + i];
    header.held = held_ != nullptr;
    if (Be32(block) != kJournalMagic) continue;
    header.type = static_cast<uint8_t>(std::min<uint32_t>(Be32(block + 4), 255));
    header.sequence = Be32(block + 8);
    if (header.type == kDescriptorBlock) ParseDescriptor(position + i, block);
  }
}

void ExtJournal::ParseDescriptor(uint32_t position, const uint8_t* block) {
  bool v3 = incompat_ & kIncompatChecksumV3, v2 = incompat_ & kIncompatChecksumV2;
  bool wide = incompat_ & kIncompat64Bit;
  uint32_t tagBytes = v3 ? 16 : (wide ? 12 : 8) + (v2 ? 2 : 0);
  uint32_t end = blockSize_ - ((v2 || v3) ? 4 : 0);
  std::vector<Tag>& tags = descriptors_[position];
  for (uint32_t at = 12; at + tagBytes <= end;) {
    const uint8_t* raw = block + at;
    Tag tag{};
    uint32_t flags = v3 ? Be32(raw + 4) : Be16(raw + 6);
    tag.block = Be32(raw);
    if (wide) tag.block |= static_cast<uint64_t>(Be32(raw + 8)) << 32;
    tag.escaped = flags & kTagEscaped;
    tag.hasChecksum = v2 || v3;
    tag.checksum = v3 ? Be32(raw + 12) : Be16(raw + 4);
    tags.push_back(tag);
    at += tagBytes + ((flags & kTagSameUuid) ? 0 : 16);
    if (flags & kTagLast) break;
  }
}

// From a descriptor, the blocks of its transaction follow in order, the
// log wrapping at its end; a header block where data should be means a
// later pass wrote over the rest, and a transaction without its commit
// block never happened.
bool ExtJournal::WalkFrom(uint32_t position, std::vector<std::pair<uint32_t, Tag>>& found) const {
  uint32_t sequence = headers_[position].sequence;
  for (uint32_t steps = 0; steps < last_ - first_; ++steps) {
    const Header& header = headers_[position];
    if (header.type == 0 || header.sequence != sequence) return false;
    if (header.type == kCommitBlock) return true;
    if (header.type == kDescriptorBlock) {
      auto tags = descriptors_.find(position);
      if (tags == descriptors_.end()) return false;
      for (const Tag& tag : tags->second) {
        position = Next(position);
        if (headers_[position].type != 0) return false;
        found.push_back({position, tag});
      }
    } else if (header.type != kRevokeBlock) {
      return false;
    }
    position = Next(position);
  }
  return false;
}

void ExtJournal::WalkTransactions() {
  std::vector<bool> taken(last_);
  std::unordered_set<uint32_t> sequences;
  std::vector<std::pair<uint32_t, Tag>> found;
  for (uint32_t position = first_; position < last_; ++position) {
    if (headers_[position].type != kDescriptorBlock) continue;
    found.clear();
    if (!WalkFrom(position, found)) continue;
    uint32_t sequence = headers_[position].sequence;
    sequences.insert(sequence);
    for (const auto& [logBlock, tag] : found) {
      if (taken[logBlock]) continue;
      taken[logBlock] = true;
      ExtJournalCopy copy{logBlock, sequence, tag.escaped, tag.hasChecksum, tag.checksum};
      copy.held = headers_[logBlock].held && Verify(copy, HeldBlock(logBlock));
      copies_[tag.block].push_back(copy);
      ++copyCount_;
    }
  }
  transactions_ = sequences.size();
  for (auto& [block, list] : copies_)
    std::sort(list.begin(), list.end(), [](const ExtJournalCopy& a, const ExtJournalCopy& b) {
      if (a.sequence != b.sequence) return !SequenceAtLeast(b.sequence, a.sequence);
      return a.logBlock > b.logBlock;
    });
}

void ExtJournal::ReleaseHeldLog() {
  held_.reset();
  for (auto& [block, list] : copies_)
    for (ExtJournalCopy& copy : list) copy.held = false;
}

const std::vector<ExtJournalCopy>* ExtJournal::CopiesOf(uint64_t block) const {
  auto found = copies_.find(block);
  return found == copies_.end() ? nullptr : &found->second;
}

bool ExtJournal::ReadCopy(ExtByteSource& bytes, const ExtJournalCopy& copy, uint8_t* out) const {
  const uint8_t* data = CopyData(bytes, copy, out);
  if (data && data != out) std::memcpy(out, data, blockSize_);
  return data != nullptr;
}

const uint8_t* ExtJournal::CopyData(ExtByteSource& bytes, const ExtJournalCopy& copy,
                                    uint8_t* scratch) const {
  if (copy.held) return HeldBlock(copy.logBlock);
  uint64_t physical = 0;
  if (!PhysicalOf(copy.logBlock, physical) ||
      bytes.Read(physical * blockSize_, blockSize_, scratch) != kOk || !Verify(copy, scratch))
    return nullptr;
  return scratch;
}

bool ExtJournal::Verify(const ExtJournalCopy& copy, uint8_t* data) const {
  if (copy.hasChecksum) {
    uint8_t sequence[4] = {
        static_cast<uint8_t>(copy.sequence >> 24), static_cast<uint8_t>(copy.sequence >> 16),
        static_cast<uint8_t>(copy.sequence >> 8), static_cast<uint8_t>(copy.sequence)};
    uint32_t crc = Crc32c(Crc32c(checksumSeed_, sequence, 4), data, blockSize_);
    bool v3 = incompat_ & kIncompatChecksumV3;
    if ((v3 ? crc : (crc & 0xFFFF)) != copy.checksum) return false;
  }
  if (copy.escaped) {
    data[0] = 0xC0;
    data[1] = 0x3B;
    data[2] = 0x39;
    data[3] = 0x98;
  }
  return true;
}

}  // namespace salvora
