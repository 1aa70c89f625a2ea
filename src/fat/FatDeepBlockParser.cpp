#include "fat/FatDeepBlockParser.h"

#include "results/RecoveryNames.h"

namespace salvora {
namespace {

constexpr size_t kNoChain = static_cast<size_t>(-1);
constexpr uint8_t kLastPartFlag = 0x40;

bool IsDot(const FatDirEntry& e) { return e.name[0] == '.' && e.name[1] == ' '; }
bool IsDotDot(const FatDirEntry& e) { return e.name[0] == '.' && e.name[1] == '.'; }

FatDeepEntry MakeEntry(const FatDirEntry& e, FatDeepEntry::Kind kind, const std::string& name) {
  FatDeepEntry entry;
  entry.kind = kind;
  entry.cluster = EntryCluster(e, true);
  entry.highWordLost = IsDeletedEntry(e) && e.clusterHigh == 0;
  entry.size = e.fileSize;
  entry.times = DirEntryTimes(e);
  // Names come from a hostile disk: no separators or control characters
  // reach listings, paths or the folder file.
  entry.name = SafeFileName(name);
  return entry;
}

// A short entry after its long-name parts: what it names, if anything.
void TakeShortEntry(const FatDirEntry& e, LongNameCollector& longName, FatDeepBlock& out) {
  std::string name;
  if (!longName.TakeFor(e, name)) name = ShortEntryName(e);
  if (IsDirectoryEntry(e)) {
    if (IsDot(e)) {
      // A "." naming cluster 0 or 1 is not a subdirectory's own cluster.
      if (EntryCluster(e, true) >= 2) out.entries.push_back(MakeEntry(e, FatDeepEntry::kDot, {}));
    } else if (!IsDotDot(e)) {
      out.entries.push_back(MakeEntry(e, FatDeepEntry::kFolder, std::move(name)));
    }
  } else if (IsFileEntry(e)) {
    out.entries.push_back(MakeEntry(e, FatDeepEntry::kFile, std::move(name)));
  }
}

// No real long name has more parts than the collector holds: a further
// part of the same name means the block is not a directory after all.
bool OverlongName(const FatDirEntry& e, const LongNameCollector& longName) {
  if (longName.Parts() < LongNameCollector::kMaxParts) return false;
  bool startsName = !IsDeletedEntry(e) && (e.name[0] & kLastPartFlag) != 0;
  return !startsName && e.createTenMs == longName.Checksum();
}

}  // namespace

void ParseDirectoryBlock(const uint8_t* block, size_t length, FatDeepBlock& out) {
  out.entries.clear();  // keeps its room: one block is parsed per directory sector
  out.endsInChain = false;
  LongNameCollector longName;
  size_t chainStart = kNoChain;
  for (size_t offset = 0; offset + kDirEntryBytes <= length; offset += kDirEntryBytes) {
    const uint8_t* slot = block + offset;
    FatDirEntry e = LoadDirEntry(slot);
    if (IsEndOfDirectory(e)) return;
    const uint8_t* next = offset + 2 * kDirEntryBytes <= length ? slot + kDirEntryBytes : nullptr;
    if (!IsValidDirEntry(slot, next)) {
      longName.Reset();
      chainStart = kNoChain;
      continue;
    }
    if (IsLongNameEntry(e)) {
      if (OverlongName(e, longName)) return;
      longName.Add(e);
      if (longName.Parts() == 1) chainStart = offset;
      continue;
    }
    chainStart = kNoChain;
    TakeShortEntry(e, longName, out);
  }
  if (chainStart != kNoChain) {
    out.endsInChain = true;
    out.chainOffset = chainStart;
    out.chainChecksum = longName.Checksum();
  }
}

}  // namespace salvora
