#pragma once
// What the first 16 KiB of a volume say it is.
#include <cstddef>
#include <cstdint>

namespace salvora {

constexpr size_t kProbeBytes = 0x4000;

enum class VolumeClass { kNtfs, kFat, kExfat, kExt, kOther };

// Classifies a 16 KiB probe: NTFS first, then FAT (never an encrypted
// volume), then exFAT, then ext, else other.
VolumeClass ClassifyVolume(const uint8_t* probe, size_t length);
bool IsNtfsBootSector(const uint8_t* sector, size_t length);
bool IsFatBootSector(const uint8_t* sector, size_t length);
// The checksum of an exFAT boot region over its sectors 0 to 10; sector 11
// repeats it.
uint32_t ExfatBootChecksum(const uint8_t* region, size_t bytesPerSector);
// An exFAT boot region (boot sector, extended boot sectors, parameters and
// checksum sector) starting at `region`. The checksum is verified whenever
// all twelve sectors lie within `length`; a shorter buffer (4 KiB sectors
// in a 16 KiB probe) is judged on the boot sector's fields alone.
bool IsExfatBootRegion(const uint8_t* region, size_t length);
// The main boot region of an exFAT volume, or its backup (sectors 12 to
// 23) when the main one is damaged: true with the region's byte offset from
// the volume start, false when neither is whole.
bool FindExfatBootRegion(const uint8_t* volumeStart, size_t length, size_t& regionOffset);
const char* VolumeClassName(VolumeClass volumeClass);

// Where mke2fs keeps the backup superblocks of groups 1 and 3 for each
// block size (1 to 64 KiB, eight blocks' worth of bits per group), as byte
// offsets from the volume's start: an ext volume whose first blocks are
// lost is still found by one of them.
constexpr int kExtBackupProbes = 14;
void ExtBackupSuperblockOffsets(uint64_t (&offsets)[kExtBackupProbes]);
// Whether 1024 bytes read `offset` bytes into a volume are an ext
// superblock copy that belongs exactly there: the group it names starts
// at that place on the layout it describes.
bool IsExtBackupSuperblock(const uint8_t* sb, uint64_t offset);

}  // namespace salvora
