#pragma once
// The found-file record every engine writes and every view, recovery and
// preview reads, and the folder record of the folder file. Both are stored
// as they lie in memory: packed, little-endian, fixed sizes.
#include <cstddef>
#include <cstdint>

namespace salvora {

constexpr size_t kRecordNameBytes = 260;

enum EngineKind : uint32_t {
  kQuickNtfs = 0,
  kQuickFat = 1,
  kDeepNtfs = 2,
  kDeepFat = 3,
  kCarved = 4,
  kQuickExfat = 5,
  kDeepExfat = 6,
  kQuickExt = 7,
  kDeepExt = 8,
};

#pragma pack(push, 1)
struct FoundRecord {
  uint16_t sourceTag;
  uint32_t engineKind;
  uint32_t isFolder;
  uint32_t isDeleted;
  uint32_t contentOk;
  uint32_t recordNo;       // 1-based position in the data file
  uint32_t firstCluster;   // NTFS engines: the FILE record number
  uint32_t clusterBytes;   // 0xFFFFFFFF for carved files
  uint64_t createTime;     // FILETIME as the volume stores it
  uint64_t accessTime;
  uint64_t writeTime;
  uint64_t fileSize;
  uint64_t dataAreaSector;     // volume-relative sector that firstCluster counts from
  uint64_t entrySector;        // absolute sector of the directory entry or FILE record
  uint64_t volumeFirstSector;  // absolute first sector of the volume
  char name[kRecordNameBytes]; // UTF-8, NUL-terminated
};

struct FolderInfo {
  uint32_t folderCluster;
  uint32_t recordNo;
  char name[kRecordNameBytes];
};
#pragma pack(pop)

static_assert(sizeof(FoundRecord) == 346);
static_assert(offsetof(FoundRecord, engineKind) == 2);
static_assert(offsetof(FoundRecord, isFolder) == 6);
static_assert(offsetof(FoundRecord, isDeleted) == 10);
static_assert(offsetof(FoundRecord, contentOk) == 14);
static_assert(offsetof(FoundRecord, recordNo) == 18);
static_assert(offsetof(FoundRecord, firstCluster) == 22);
static_assert(offsetof(FoundRecord, clusterBytes) == 26);
static_assert(offsetof(FoundRecord, createTime) == 30);
static_assert(offsetof(FoundRecord, accessTime) == 38);
static_assert(offsetof(FoundRecord, writeTime) == 46);
static_assert(offsetof(FoundRecord, fileSize) == 54);
static_assert(offsetof(FoundRecord, dataAreaSector) == 62);
static_assert(offsetof(FoundRecord, entrySector) == 70);
static_assert(offsetof(FoundRecord, volumeFirstSector) == 78);
static_assert(offsetof(FoundRecord, name) == 86);
static_assert(sizeof(FolderInfo) == 268);
static_assert(offsetof(FolderInfo, recordNo) == 4);
static_assert(offsetof(FolderInfo, name) == 8);

// Folder key: the folder's first cluster in the low 32 bits and its depth
// below the root in the high 32 bits.
constexpr uint64_t FolderKey(uint32_t cluster, uint32_t depth) {
  return static_cast<uint64_t>(cluster) | (static_cast<uint64_t>(depth) << 32);
}

// Copies a name into a record's name field, cut at a UTF-8 character
// boundary so that at most 259 bytes and the terminator are stored.
void SetRecordName(char (&field)[kRecordNameBytes], const char* text, size_t length);
void SetRecordName(char (&field)[kRecordNameBytes], const char* text);

// The name of a record read from a store that may be damaged: never reads
// past the field, even without a terminator.
size_t RecordNameLength(const char (&field)[kRecordNameBytes]);

}  // namespace salvora
