#include "ext/ExtDirectoryBlock.h"

#include <cstring>

#include "storage/LittleEndian.h"

namespace salvora {
namespace {

constexpr uint32_t kEntryHead = 8;
constexpr uint8_t kChecksumTailType = 0xDE;
constexpr uint8_t kMaxFileType = 7;

constexpr uint32_t kZeroRunBytes = 32;

uint32_t EntryBytes(uint32_t nameLength) { return (kEntryHead + nameLength + 3) & ~3u; }

bool IsZeroRun(const uint8_t* bytes) {
  uint64_t words[kZeroRunBytes / 8];
  std::memcpy(words, bytes, sizeof words);
  return (words[0] | words[1] | words[2] | words[3]) == 0;
}

bool NameValid(const uint8_t* name, uint32_t length) {
  if (length == 0) return false;
  if (std::memchr(name, '/', length) || std::memchr(name, 0, length)) return false;
  return !(length == 1 && name[0] == '.') && !(length == 2 && name[0] == '.' && name[1] == '.');
}

class BlockParser {
 public:
  BlockParser(const ExtSuperblock& sb, const uint8_t* data, uint32_t bytes,
              std::vector<ExtDirEntry>& out)
      : sb_(sb), data_(data), bytes_(bytes), out_(out) {}

  void Run() {
    if (IsIndexNode()) return;
    bool indexRoot = IsIndexRoot();
    for (uint32_t at = 0; at + kEntryHead <= bytes_;) {
      const uint8_t* entry = data_ + at;
      uint32_t length = ExtDirRecordLength(Le16(entry + 4), bytes_);
      uint32_t nameLength = NameLength(entry);
      if (length < kEntryHead || length % 4 || length > bytes_ - at) {
        ScanSlack(at, bytes_);  // a damaged chain: what follows may still be entries
        return;
      }
      if (IsChecksumTail(entry, length)) return;
      bool hasName = kEntryHead + nameLength <= length && nameLength > 0;
      if (hasName) Add(at, entry, nameLength, Le32(entry) != 0 && InodeValid(Le32(entry)), true);
      bool dotDot = nameLength == 2 && entry[8] == '.' && entry[9] == '.';
      if (!(indexRoot && dotDot))
        ScanSlack(at + (hasName ? EntryBytes(nameLength) : kEntryHead), at + length);
      at += length;
    }
  }

 private:
  uint32_t NameLength(const uint8_t* entry) const {
    return sb_.HasFileType() ? entry[6] : Le16(entry + 6) & 0xFF;
  }
  bool InodeValid(uint32_t inode) const { return inode >= 1 && inode <= sb_.inodesCount; }
  bool IsChecksumTail(const uint8_t* entry, uint32_t length) const {
    return Le32(entry) == 0 && length == 12 && entry[6] == 0 && entry[7] == kChecksumTailType &&
           entry + 12 == data_ + bytes_;
  }
  bool IsIndexNode() const {
    return bytes_ >= 16 && Le32(data_) == 0 &&
           ExtDirRecordLength(Le16(data_ + 4), bytes_) == bytes_ && data_[6] == 0;
  }
  bool IsIndexRoot() const {
    return bytes_ >= 32 && data_[6] == 1 && data_[8] == '.' && Le16(data_ + 4) == 12 &&
           data_[18] == 2 && ExtDirRecordLength(Le16(data_ + 16), bytes_) == bytes_ - 12 &&
           Le32(data_ + 24) == 0 && data_[29] == 8;
  }

  void ScanSlack(uint32_t from, uint32_t end) {
    for (uint32_t at = (from + 3) & ~3u; at + kEntryHead + 1 <= end;) {
      // A block is zeros past what was ever written into it: a run of
      // zero words names no inode and is passed over whole.
      if (at + kZeroRunBytes <= end && IsZeroRun(data_ + at)) {
        at += kZeroRunBytes;
        continue;
      }
      const uint8_t* entry = data_ + at;
      // Most of a slack is zeros or the bytes of old names: the inode
      // number alone turns nearly every word away, before anything else
      // is decoded.
      uint32_t inode = Le32(entry);
      if (!InodeValid(inode)) {
        at += 4;
        continue;
      }
      uint32_t length = ExtDirRecordLength(Le16(entry + 4), bytes_);
      uint32_t nameLength = NameLength(entry);
      bool plausible = length >= EntryBytes(nameLength) && length % 4 == 0 && length <= end - at &&
                       nameLength > 0 && kEntryHead + nameLength <= end - at &&
                       (!sb_.HasFileType() || entry[7] <= kMaxFileType) &&
                       NameValid(entry + kEntryHead, nameLength);
      if (!plausible) {
        at += 4;
        continue;
      }
      Add(at, entry, nameLength, false, false);
      at += EntryBytes(nameLength);
    }
  }

  void Add(uint32_t at, const uint8_t* entry, uint32_t nameLength, bool live, bool allowDots) {
    const uint8_t* name = entry + kEntryHead;
    if (!allowDots && !NameValid(name, nameLength)) return;
    ExtDirEntry found;
    found.inode = Le32(entry);
    found.fileType = sb_.HasFileType() ? entry[7] : 0;
    found.live = live;
    found.offset = at;
    found.name.assign(reinterpret_cast<const char*>(name), nameLength);
    if (!live && !InodeValid(found.inode)) return;
    out_.push_back(std::move(found));
  }

  const ExtSuperblock& sb_;
  const uint8_t* data_;
  uint32_t bytes_;
  std::vector<ExtDirEntry>& out_;
};

}  // namespace

uint32_t ExtDirRecordLength(uint16_t stored, uint32_t blockBytes) {
  if (blockBytes < 65536) return stored;
  if (stored == 65535 || stored == 0) return blockBytes;
  return (stored & 65532u) | ((stored & 3u) << 16);
}

void ParseExtDirectoryBlock(const ExtSuperblock& sb, const uint8_t* data, uint32_t bytes,
                            std::vector<ExtDirEntry>& out) {
  BlockParser(sb, data, bytes, out).Run();
}

}  // namespace salvora
