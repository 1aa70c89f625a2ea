#include "cli/SourceSpec.h"

#include <sys/stat.h>

#include <memory>
#include <vector>

#include "platform/BlockDevices.h"
#include "platform/ErrorCodes.h"
#include "platform/RandomAccessFile.h"
#include "storage/DiskOrdinal.h"
#include "storage/ImageEntries.h"

namespace salvora {
namespace {

bool ResolveBlockDevice(const std::string& path, ScanSource& out, std::string& reason) {
  std::unique_ptr<RandomAccessFile> file;
  if (OpenRandomAccessFile(path, file, &reason) != kOk) return false;
  out.sectorSize = file->LogicalSectorSize();
  out.deviceToProtect = path;
  PartitionLocation place;
  if (LocatePartition(path, place)) {
    out.kind = ScanSource::Kind::kPartition;
    out.diskPath = place.diskPath;
    out.diskNumber = place.diskNumber;
    out.firstSector = place.firstSector;
    out.sectorCount = place.sectorCount;
    out.sourceTag = static_cast<uint16_t>(place.partitionNumber);
    return true;
  }
  if (DiskNumberOfNode(path, out.diskNumber)) {
    out.kind = ScanSource::Kind::kDisk;
    out.diskPath = path;
    out.firstSector = 0;
    out.sectorCount = file->Size() / out.sectorSize;
    out.sourceTag = static_cast<uint16_t>(out.diskNumber + 1);
    return true;
  }
  reason = path + " is a block device that is neither a disk nor a partition of one";
  return false;
}

// "@N": the entry numbered N in `salvora disks`.
bool ResolveOrdinalSource(const std::string& text, ScanSource& out, std::string& reason) {
  char* end = nullptr;
  unsigned long ordinal = std::strtoul(text.c_str() + 1, &end, 10);
  OrdinalPlace place;
  if (text.size() < 2 || *end != '\0' || ordinal == 0 || ordinal > UINT32_MAX ||
      !ResolveOrdinal(static_cast<uint32_t>(ordinal), place)) {
    reason = "there is no entry " + text + " in the disk list (see `salvora disks`)";
    return false;
  }
  out.kind = place.record.kind == EntryKind::kVolume      ? ScanSource::Kind::kPartition
             : place.record.kind == EntryKind::kWholeDisk ? ScanSource::Kind::kDisk
                                                          : ScanSource::Kind::kRegion;
  out.path = place.devicePath;
  out.diskPath = place.record.diskPath;
  out.diskNumber = place.diskNumber;
  out.firstSector = place.firstSector;
  out.sectorCount = place.sectorCount;
  out.sectorSize = place.record.bytesPerSector;
  out.sourceTag = static_cast<uint16_t>(ordinal);
  out.deviceToProtect = place.devicePath;
  return true;
}

enum class EntryText { kNotAnEntry, kResolved, kNoSuchEntry };

// "disk.img@N": entry N of an image of a whole disk, as `salvora info`
// lists them.
EntryText ResolveImageEntry(const std::string& text, ScanSource& out, std::string& reason) {
  size_t at = text.rfind('@');
  if (at == std::string::npos || at == 0 || at + 1 >= text.size()) return EntryText::kNotAnEntry;
  std::string imagePath = text.substr(0, at);
  char* end = nullptr;
  unsigned long ordinal = std::strtoul(text.c_str() + at + 1, &end, 10);
  struct stat st {};
  if (*end != '\0' || ::stat(imagePath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return EntryText::kNotAnEntry;
  std::vector<PartitionRecord> entries;
  if (!ListImageEntries(imagePath, entries)) {
    reason = imagePath + " holds no partition table, so it has no entry " + text.substr(at);
    return EntryText::kNoSuchEntry;
  }
  for (const PartitionRecord& entry : entries) {
    if (entry.ordinal != ordinal) continue;
    out = ImageEntrySource(imagePath, entry);
    return EntryText::kResolved;
  }
  reason = "there is no entry " + text.substr(at) + " in " + imagePath + " (see `salvora info " +
           imagePath + "`)";
  return EntryText::kNoSuchEntry;
}

}  // namespace

ScanSource ImageEntrySource(const std::string& imagePath, const PartitionRecord& entry) {
  ScanSource source;
  source.kind = ScanSource::Kind::kRegion;
  source.path = imagePath;
  source.diskPath = imagePath;
  source.diskNumber = static_cast<uint32_t>(entry.diskNumber);
  source.firstSector = static_cast<uint64_t>(entry.start);
  source.sectorCount = static_cast<uint64_t>(entry.length);
  source.sectorSize = entry.bytesPerSector;
  source.sourceTag = static_cast<uint16_t>(entry.ordinal);
  source.shownName = imagePath + "@" + std::to_string(entry.ordinal);
  return source;
}

bool ResolveSource(const std::string& text, ScanSource& out, std::string& reason) {
  out = ScanSource();
  out.path = text;
  if (!text.empty() && text[0] == '@') return ResolveOrdinalSource(text, out, reason);
  struct stat st {};
  if (::stat(text.c_str(), &st) != 0) {
    EntryText entry = ResolveImageEntry(text, out, reason);
    if (entry != EntryText::kNotAnEntry) return entry == EntryText::kResolved;
    reason = "cannot find " + text;
    return false;
  }
  if (S_ISBLK(st.st_mode)) return ResolveBlockDevice(text, out, reason);
  if (!S_ISREG(st.st_mode)) {
    reason = text + " is neither an image file nor a block device";
    return false;
  }
  out.kind = ScanSource::Kind::kImage;
  out.sectorCount = static_cast<uint64_t>(st.st_size) / 512;
  return true;
}

}  // namespace salvora
