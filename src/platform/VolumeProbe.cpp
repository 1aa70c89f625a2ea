#include "platform/VolumeProbe.h"

#include <blkid/blkid.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "platform/UdevVolumeTags.h"

namespace salvora {
namespace {

std::string LookUp(blkid_probe probe, const char* name) {
  const char* value = nullptr;
  size_t length = 0;
  if (blkid_probe_lookup_value(probe, name, &value, &length) != 0 || !value) return {};
  std::string text(value, length);
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

// Type, label and version of the file system the probe sees.
void ReadFileSystemTags(blkid_probe probe, VolumeTags& out) {
  blkid_probe_enable_superblocks(probe, 1);
  blkid_probe_set_superblocks_flags(probe,
                                    BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL | BLKID_SUBLKS_VERSION);
  if (blkid_do_safeprobe(probe) == 0) {
    out.type = LookUp(probe, "TYPE");
    out.version = LookUp(probe, "VERSION");
    out.label = LookUp(probe, "LABEL");
  }
}

// False when the device cannot be opened (no permission, medium gone).
bool ProbeTags(const std::string& devicePath, VolumeTags& out) {
  blkid_probe probe = blkid_new_probe_from_filename(devicePath.c_str());
  if (!probe) return false;
  blkid_probe_enable_partitions(probe, 1);
  blkid_probe_set_partitions_flags(probe, BLKID_PARTS_ENTRY_DETAILS);
  ReadFileSystemTags(probe, out);
  out.partitionScheme = LookUp(probe, "PART_ENTRY_SCHEME");
  out.partitionType = LookUp(probe, "PART_ENTRY_TYPE");
  blkid_free_probe(probe);
  return true;
}

// The names users know from the volume's own tools rather than blkid's.
std::string FileSystemName(const std::string& type, const std::string& version) {
  if (type == "ntfs") return "NTFS";
  if (type == "vfat" || type == "msdos") return version == "FAT32" ? "FAT32" : "FAT";
  if (type == "exfat") return "exFAT";
  return type;
}

bool IsExtendedType(uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

VolumeFacts FactsOf(const VolumeTags& tags) {
  VolumeFacts facts;
  facts.fileSystemName = FileSystemName(tags.type, tags.version);
  facts.label = tags.label;
  if (tags.partitionScheme == "dos") {
    unsigned long type = std::strtoul(tags.partitionType.c_str(), nullptr, 16);
    facts.partitionType = static_cast<uint8_t>(type);
    facts.extendedContainer = IsExtendedType(facts.partitionType);
  }
  return facts;
}

}  // namespace

bool ProbeVolume(const std::string& devicePath, VolumeFacts& out) {
  out = VolumeFacts();
  VolumeTags tags;
  if (!ProbeTags(devicePath, tags) && !ReadUdevVolumeTags(devicePath, tags)) return false;
  out = FactsOf(tags);
  return true;
}

bool ProbeVolumeAt(const std::string& path, uint64_t offsetBytes, uint64_t lengthBytes,
                   VolumeFacts& out) {
  out = VolumeFacts();
  if (offsetBytes > INT64_MAX || lengthBytes > INT64_MAX) return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  blkid_probe probe = blkid_new_probe();
  bool placed = probe && blkid_probe_set_device(probe, fd, static_cast<blkid_loff_t>(offsetBytes),
                                                static_cast<blkid_loff_t>(lengthBytes)) == 0;
  VolumeTags tags;
  if (placed) ReadFileSystemTags(probe, tags);
  out = FactsOf(tags);
  if (probe) blkid_free_probe(probe);
  ::close(fd);
  return placed;
}

}  // namespace salvora
