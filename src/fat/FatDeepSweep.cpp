#include "fat/FatDeepSweep.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "fat/FatBootSector.h"
#include "fat/FatDirEntry.h"

namespace salvora {
namespace {

constexpr int kNone = FatDeepVolumes::kNone;

std::vector<uint8_t> Joined(std::vector<uint8_t> head, const uint8_t* tail, size_t length) {
  head.insert(head.end(), tail, tail + length);
  return head;
}

}  // namespace

FatDeepSweep::FatDeepSweep(ScanResultStore& store, SectorSource& source, const int& sectorSize,
                           const uint64_t& partitionStart, const uint16_t& sourceTag)
    : reader_(source, sectorSize),
      sectorSize_(sectorSize),
      partitionStart_(partitionStart),
      tree_(store, reader_, volumes_, sourceTag) {}

void FatDeepSweep::Clear() {
  volumes_.Clear();
  volumesPlacingPending_ = 0;
  ClearWaiting();
}

void FatDeepSweep::ClearWaiting() {
  tree_.Clear();
  openChains_.Clear();
  unplaced_.Clear();
  pending_.Clear();
  lastPlace_ = {};
}

// The boot sector's own layout places cluster 2 and the root directory,
// also when the root holds another number of entries than 512. Its sector
// numbers are converted into the unit this engine reads in.
void FatDeepSweep::RegisterBootVolume() {
  std::vector<uint8_t> block(std::max<size_t>(kFatBootBlockBytes, SectorBytes()));
  size_t got = reader_.Read(partitionStart_, block.data(), block.size());
  FatLayout layout;
  if (got < 512 || !RecognizeFatBootSector(block.data(), got, layout)) return;
  if (layout.bytesPerSector % static_cast<uint32_t>(sectorSize_) != 0) return;
  uint64_t scale = layout.bytesPerSector / static_cast<uint32_t>(sectorSize_);
  uint64_t dataOffset = layout.firstDataSector * scale;
  if (dataOffset > std::numeric_limits<uint32_t>::max()) return;
  FatDeepVolume volume;
  volume.sectorsPerCluster = static_cast<int32_t>(layout.sectorsPerCluster * scale);
  volume.dataOffset = static_cast<uint32_t>(dataOffset);
  volume.volumeStart = partitionStart_;
  volume.rootSectors = static_cast<uint32_t>(layout.rootDirSectors * scale);
  volume.wideClusters = layout.IsFat32();
  tree_.SetRootCluster(layout.IsFat32() ? layout.rootCluster : 0);
  volumes_.AddBootVolume(volume);
}

void FatDeepSweep::DirectoryStart(const uint8_t* sector, uint64_t absoluteSector) {
  uint32_t cluster = EntryCluster(LoadDirEntry(sector), true);
  if (cluster < 2) {  // not a subdirectory's own cluster: only its entries count
    PlaceEntries(sector, SectorBytes(), absoluteSector, Unexplained::kKeep);
    return;
  }
  int volume = volumes_.FindStart(cluster, absoluteSector);
  if (volume == kNone &&
      volumes_.LearnFromStart({cluster, absoluteSector}, partitionStart_) != kNone)
    volume = volumes_.FindStart(cluster, absoluteSector);
  if (volume != kNone) PlacePendingFiles();
  ParseAndJoin(sector, SectorBytes(), volume, cluster, absoluteSector, absoluteSector);
}

void FatDeepSweep::DirectoryEntries(const uint8_t* sector, uint64_t absoluteSector) {
  PlaceEntries(sector, SectorBytes(), absoluteSector, Unexplained::kKeep);
}

// A sector continues a cut long name, or the directory placed just before
// it, or starts a cluster of a known volume; otherwise it waits for the end.
void FatDeepSweep::PlaceEntries(const uint8_t* sector, size_t length, uint64_t absoluteSector,
                                Unexplained unexplained) {
  OpenChain chain;
  if (openChains_.TakeContinued(LinkOfSector(sector, length), absoluteSector, chain)) {
    std::vector<uint8_t> joined = Joined(std::move(chain.bytes), sector, length);
    ParseAndJoin(joined.data(), joined.size(), chain.volume, chain.cluster, chain.blockSector,
                 absoluteSector);
    return;
  }
  if (lastPlace_.known && absoluteSector > lastPlace_.sector &&
      absoluteSector - lastPlace_.sector <=
          static_cast<uint64_t>(volumes_[lastPlace_.volume].sectorsPerCluster)) {
    ParseAndJoin(sector, length, lastPlace_.volume, lastPlace_.cluster, absoluteSector,
                 absoluteSector);
    return;
  }
  uint32_t cluster = 0;
  int volume = volumes_.FindClusterStart(absoluteSector, cluster);
  // Lining up with the boot volume's clusters proves little on a disk
  // formatted again with another cluster size; such a sector waits until
  // every volume the disk reveals is known (unless the waiting room is full).
  if (volume != kNone && volumes_.IsBootVolume(volume) && unexplained == Unexplained::kKeep &&
      unplaced_.Keep(absoluteSector, sector, length))
    return;
  if (volume == kNone) {
    if (unexplained == Unexplained::kKeep) {
      unplaced_.Keep(absoluteSector, sector, length);
      return;
    }
    volume = volumes_.Nearest(absoluteSector);
    if (volume == kNone) return;
    if (!volumes_[volume].ClusterHolding(absoluteSector, cluster)) cluster = 0;
  }
  ParseAndJoin(sector, length, volume, cluster, absoluteSector, absoluteSector);
}

void FatDeepSweep::ParseAndJoin(const uint8_t* block, size_t length, int volume, uint32_t cluster,
                                uint64_t blockSector, uint64_t lastSector) {
  // A volume learnt since the block was cut may place it now.
  if (volume == kNone) volume = volumes_.FindStart(cluster, blockSector);
  OpenChain chain;
  if (!ParseBlock(block, length, volume, cluster, blockSector, lastSector, chain)) return;
  uint64_t next = 0;
  std::vector<uint8_t> bytes;
  while (TakeKeptContinuation(chain, next, bytes)) {
    std::vector<uint8_t> joined = Joined(std::move(chain.bytes), bytes.data(), bytes.size());
    OpenChain again;
    if (!ParseBlock(joined.data(), joined.size(), chain.volume, chain.cluster, chain.blockSector,
                    next, again))
      return;
    chain = std::move(again);
  }
  openChains_.Add(std::move(chain));
}

bool FatDeepSweep::ParseBlock(const uint8_t* block, size_t length, int volume, uint32_t cluster,
                              uint64_t blockSector, uint64_t lastSector, OpenChain& cut) {
  ParseDirectoryBlock(block, length, parsed_);
  for (const FatDeepEntry& entry : parsed_.entries) {
    switch (entry.kind) {
      case FatDeepEntry::kDot:
        cluster = entry.cluster;
        break;
      case FatDeepEntry::kFolder: {
        uint32_t own = entry.cluster;
        if (entry.highWordLost && volume != kNone)
          own = RecoverHighWord(reader_, volumes_[volume], own, true, entry.name);
        tree_.NoteFolder(entry, own, cluster, volume, blockSector);
        break;
      }
      case FatDeepEntry::kFile:
        if (volume != kNone) {
          tree_.AddFile(entry, volume, cluster, blockSector);
        } else {
          pending_.Add(cluster, blockSector, entry, volumes_.Count());
        }
        break;
    }
  }
  if (volume != kNone) lastPlace_ = {true, volume, cluster, lastSector};
  if (!parsed_.endsInChain) return false;
  cut.checksum = parsed_.chainChecksum;
  cut.cluster = cluster;
  cut.volume = volume;
  cut.blockSector = blockSector;
  cut.lastSector = lastSector;
  uint32_t next = 0;
  cut.mayJump =
      volume == kNone || (volumes_[volume].ClusterStartingAt(lastSector + 1, next) && next != 0);
  cut.bytes.assign(block + parsed_.chainOffset, block + length);
  return true;
}

// The sector right after the cut continues the chain if anything does;
// only a chain cut at a cluster's end may go on anywhere else, and with its
// volume known its long-name parts still lie in the chain's own directory.
bool FatDeepSweep::TakeKeptContinuation(const OpenChain& chain, uint64_t& sector,
                                        std::vector<uint8_t>& bytes) {
  sector = chain.lastSector + 1;
  auto adjacent = [&](uint64_t candidate, const ChainLink& link) {
    return ContinuesChain(chain, link, candidate);
  };
  if (unplaced_.TakeAt(sector, adjacent, bytes)) return true;
  if (!chain.mayJump) return false;
  auto elsewhere = [&](uint64_t candidate, const ChainLink& link) {
    if (link.kind != ChainLink::kLongName || chain.volume == kNone) return true;
    uint32_t holding = 0;
    return volumes_[chain.volume].ClusterHolding(candidate, holding) && holding == chain.cluster;
  };
  return unplaced_.TakeContinuation(chain.checksum, elsewhere, sector, bytes);
}

// Only a newly learnt volume can place files that were waiting.
void FatDeepSweep::PlacePendingFiles() {
  if (volumes_.Count() == volumesPlacingPending_) return;
  volumesPlacingPending_ = volumes_.Count();
  pending_.PlaceExact(volumes_,
                      [this](const auto& group, int volume) { PlaceGroup(group, volume); });
}

void FatDeepSweep::PlaceGroup(const FatDeepPendingFiles::Group& group, int volume) {
  for (const FatDeepEntry& file : group.files)
    tree_.AddFile(file, volume, group.directory, group.blockSector);
}

// Files are placed before the folders are written, so that the folders
// above them exist too.
void FatDeepSweep::Finish() {
  lastPlace_ = {};
  uint64_t sector = 0;
  std::vector<uint8_t> bytes;
  while (unplaced_.TakeFirst(sector, bytes))
    PlaceEntries(bytes.data(), bytes.size(), sector, Unexplained::kNearestVolume);
  pending_.PlaceExact(volumes_,
                      [this](const auto& group, int volume) { PlaceGroup(group, volume); });
  pending_.TakeAll([this](const auto& group) {
    int volume = volumes_.Nearest(group.blockSector);
    if (volume != kNone) PlaceGroup(group, volume);
  });
  tree_.EmitFolders();
  ClearWaiting();
}

}  // namespace salvora
