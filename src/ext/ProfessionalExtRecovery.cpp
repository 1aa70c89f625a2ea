#include "ext/ProfessionalExtRecovery.h"

#include <algorithm>

#include "ext/ExtFileCopy.h"
#include "platform/ErrorCodes.h"
#include "results/StoreName.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

// Directory blocks kept from one walk at most; a disk of nothing but
// folders would otherwise hold them all in memory.
constexpr size_t kMaxDirectoryBlocks = 1u << 20;

}  // namespace

int CProfessionalExtRecovery::OpenResults(const char* savedNameOrNull) {
  tree_.Clear();
  notedBytes_.clear();
  bool saved = savedNameOrNull && *savedNameOrNull;
  if (saved && OpenStoreNamed(savedNameOrNull) == kOk) NoteSavedEntries();
  return OpenNewStoreNamed(
      saved ? std::string(savedNameOrNull)
            : FormatStoreName(kDeepExtStorePrefix, static_cast<int64_t>(firstSector_)));
}

void CProfessionalExtRecovery::NoteSavedEntries() {
  const uint64_t sectorSize = static_cast<uint64_t>(sectorSize_);
  FoundRecord record;
  for (uint32_t number = 1; number <= store_.GetRecordCount(); ++number) {
    if (store_.ReadRecord(number, record) != kOk || record.engineKind != kDeepExt) continue;
    uint64_t sector = record.entrySector;
    if (sector >= firstSector_) notedBytes_.push_back((sector - firstSector_) * sectorSize);
  }
}

void CProfessionalExtRecovery::ReadNotedBlocks() {
  const ExtSuperblock& sb = volume_.Superblock();
  std::vector<uint64_t> blocks;
  for (uint64_t byte : notedBytes_) blocks.push_back(byte / sb.blockSize);
  std::sort(blocks.begin(), blocks.end());
  blocks.erase(std::unique(blocks.begin(), blocks.end()), blocks.end());
  std::vector<std::vector<uint8_t>> data;
  for (uint64_t block : blocks) {
    volume_.DiskBlock(block, data);
    ExtFoundDirectory found;
    if (!data.empty() &&
        RecogniseExtDirectoryBlock(data[0].data(), sb.blockSize, sb.inodesCount, found))
      tree_.AddDirectoryBlock(block, std::move(found));
  }
  notedBytes_.clear();
}

int CProfessionalExtRecovery::RegisterVolume() {
  if (opened_ && !volume_.IsOpen())
    volume_.Open(std::make_unique<ExtSectorBytes>(source_, firstSector_, sectorCount_,
                                                  static_cast<uint32_t>(sectorSize_)));
  if (volume_.IsOpen()) ReadNotedBlocks();
  return kOk;
}

ExtVolumePlace CProfessionalExtRecovery::Place() const {
  return {firstSector_, static_cast<uint32_t>(sectorSize_), sourceTag_};
}

uint64_t CProfessionalExtRecovery::RootFolderKey() const { return FolderKey(kExtRootInode, 0); }

void CProfessionalExtRecovery::ProcessChunk(const uint8_t* data, uint32_t sectors,
                                            uint64_t firstSector) {
  if (!data || !volume_.IsOpen() || firstSector < firstSector_) return;
  const ExtSuperblock& sb = volume_.Superblock();
  const uint64_t sectorSize = static_cast<uint64_t>(sectorSize_);
  const uint64_t chunkStart = (firstSector - firstSector_) * sectorSize;
  const uint64_t chunkBytes = uint64_t{sectors} * sectorSize;
  uint64_t at = (chunkStart + sb.blockSize - 1) / sb.blockSize * sb.blockSize;
  for (; at + sb.blockSize <= chunkStart + chunkBytes; at += sb.blockSize) {
    if (tree_.DirectoryBlocks() >= kMaxDirectoryBlocks) return;
    const uint8_t* block = data + (at - chunkStart);
    // Most blocks fail on their first entry's inode number or length.
    if (Le32(block) > sb.inodesCount || Le16(block + 4) < 12) continue;
    ExtFoundDirectory found;
    if (RecogniseExtDirectoryBlock(block, sb.blockSize, sb.inodesCount, found))
      tree_.AddDirectoryBlock(at / sb.blockSize, std::move(found));
  }
}

int CProfessionalExtRecovery::FinishFolders(bool rebuild) {
  if (rebuild && store_.IsOpen() && volume_.IsOpen()) {
    // A volume read from a backup superblock has lost its root's place:
    // its own inodes are rebuilt too, since no quick scan lists them.
    bool ownInodes = volume_.Superblock().groupNumber != 0;
    tree_.Write(volume_, ownInodes, Place(), store_);
  }
  store_.Flush();
  return kOk;
}

bool CProfessionalExtRecovery::FirstDataSector(const FoundRecord& record, uint64_t& sector) const {
  uint64_t block = 0;
  if (record.isFolder || !volume_.IsOpen() || !tree_.FirstDataBlock(record.firstCluster, block))
    return false;
  sector =
      firstSector_ + block * volume_.Superblock().blockSize / static_cast<uint32_t>(sectorSize_);
  return true;
}

int CProfessionalExtRecovery::CopyFileData(const FoundRecord& record, DataSink& sink) {
  ExtResolved resolved;
  RegisterVolume();
  if (!volume_.IsOpen() || !tree_.Resolve(volume_, record.firstCluster, resolved))
    return kFileCorrupt;
  return CopyExtFile(volume_, resolved, sink);
}

}  // namespace salvora
