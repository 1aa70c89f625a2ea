#pragma once
// What the file-system tests say of one sector: an NTFS file record, the
// first sector of a FAT folder, a sector of FAT or exFAT directory entries,
// and whether it ends a carved file as metadata. The walk looks at every
// sector this way, and the end search of a carved file looks again at the
// sectors ahead of the walk; both take the answers from one memo per sector,
// so the tests run once for each sector.
#include <cstdint>

namespace salvora {

enum SectorFact : uint8_t {
  kFactsKnown = 1,  // the memo holds the answers (0: not yet worked out)
  kFileRecordFact = 2,
  kDirectoryStartFact = 4,
  kDirectoryEntriesFact = 8,
  kMetadataFact = 16,
  kExfatEntriesFact = 32,
};

// The facts of a sector, with kFactsKnown set.
uint8_t SectorFactsOf(const uint8_t* sector, uint32_t sectorSize);

// The facts of a sector from its memo, working them out on first use.
inline uint8_t KnownFacts(uint8_t& memo, const uint8_t* sector, uint32_t sectorSize) {
  if (memo == 0) memo = SectorFactsOf(sector, sectorSize);
  return memo;
}

}  // namespace salvora
