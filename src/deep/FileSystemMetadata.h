#pragma once
// The structures of the file systems the deep scan knows, as they show in a
// single sector: they end a carved file that runs into them.
#include <cstdint>

namespace salvora {

// NTFS records, index blocks and log pages, boot sectors and FAT and exFAT
// directory sectors. Fits the carving context's metadata test.
bool IsFileSystemMetadataSector(const uint8_t* sector, uint32_t sectorBytes);
// The same test without the FAT and exFAT directory sectors, for a caller
// that has already tested for those.
bool IsVolumeStructureSector(const uint8_t* sector, uint32_t sectorBytes);

}  // namespace salvora
