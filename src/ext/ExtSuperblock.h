#pragma once
// The ext2/3/4 superblock: the fields the engine needs, read from its 1024
// bytes and checked against each other and against the size of the source,
// so that nothing computed from them later can overflow or leave the volume.
#include <cstdint>

namespace salvora {

constexpr uint32_t kExtSuperblockBytes = 1024;
constexpr uint64_t kExtSuperblockOffset = 1024;
constexpr uint32_t kExtRootInode = 2;
constexpr uint32_t kExtJournalInode = 8;

struct ExtSuperblock {
  uint64_t blocksCount = 0;
  uint32_t inodesCount = 0;
  uint32_t firstDataBlock = 0;
  uint32_t blockSize = 0;
  uint32_t blocksPerGroup = 0;
  uint32_t inodesPerGroup = 0;
  uint32_t inodeSize = 128;
  uint32_t descriptorSize = 32;
  uint32_t groupCount = 0;
  uint32_t firstInode = 11;
  uint32_t journalInode = 0;
  uint32_t firstMetaGroup = 0;
  uint32_t backupGroups[2] = {0, 0};
  uint32_t featureCompat = 0, featureIncompat = 0, featureRoCompat = 0;
  uint32_t checksumSeed = 0;  // seed of every metadata crc32c
  uint16_t groupNumber = 0;   // the group this copy lies in
  uint8_t uuid[16] = {};
  // The journal inode's map and size as the superblock keeps them, for
  // when the inode itself is lost.
  bool journalBackup = false;
  uint8_t journalMap[60] = {};
  uint64_t journalBytes = 0;

  bool HasJournal() const { return (featureCompat & 0x4) != 0 && journalInode != 0; }
  bool SparseSuper2() const { return (featureCompat & 0x200) != 0; }
  bool HasFileType() const { return (featureIncompat & 0x2) != 0; }
  bool MetaGroups() const { return (featureIncompat & 0x10) != 0; }
  bool Extents() const { return (featureIncompat & 0x40) != 0; }
  bool Is64Bit() const { return (featureIncompat & 0x80) != 0; }
  bool InlineData() const { return (featureIncompat & 0x8000) != 0; }
  bool SparseSuper() const { return (featureRoCompat & 0x1) != 0; }
  bool GroupChecksums() const { return (featureRoCompat & 0x10) != 0; }
  bool BigAlloc() const { return (featureRoCompat & 0x200) != 0; }
  bool MetadataChecksums() const { return (featureRoCompat & 0x400) != 0; }
  // ext4 when it uses ext4-only layout features, ext3 with a journal.
  const char* Generation() const;
  // Whether group `group` holds a copy of the superblock and descriptors.
  bool GroupHasSuperblock(uint32_t group) const;
  uint64_t GroupFirstBlock(uint32_t group) const {
    return static_cast<uint64_t>(group) * blocksPerGroup + firstDataBlock;
  }
};

// Parses a superblock copy. False when it is not one, when its fields
// contradict each other, when its checksum (on volumes that have one) does
// not match, or when the volume it describes would not fit in
// `sourceBytes` counted from the volume's start.
bool ParseExtSuperblock(const uint8_t* raw, uint64_t sourceBytes, ExtSuperblock& out);

}  // namespace salvora
