#include "ext/ExtDeletedInode.h"

namespace salvora {

const ExtResolved& ExtDeletedInodes::Resolve(uint32_t number, bool directory) {
  uint64_t key = static_cast<uint64_t>(number) << 1 | (directory ? 1 : 0);
  auto known = known_.find(key);
  if (known != known_.end()) return known->second;
  return known_.emplace(key, Find(number, directory)).first->second;
}

bool ExtDeletedInodes::TypeFits(const ExtInode& inode, bool directory) const {
  ExtFileType type = inode.Type();
  if (directory) return type == ExtFileType::kDirectory;
  return type == ExtFileType::kFile || type == ExtFileType::kSymlink;
}

ExtResolved ExtDeletedInodes::Find(uint32_t number, bool directory) {
  ExtResolved resolved;
  ExtInode current;
  bool live = volume_.CurrentInode(number, current) && current.InUse();
  std::vector<ExtInode>& versions = versions_;
  volume_.InodeVersions(number, versions);
  bool earlierGeneration = false;
  // First choice: the newest version that still maps data; then a file
  // that was empty while it lived.
  for (int pass = 0; pass < 2 && resolved.state != ExtResolution::kRecovered; ++pass) {
    for (const ExtInode& version : versions) {
      if (!TypeFits(version, directory)) continue;
      if (live && version.generation == current.generation) continue;
      earlierGeneration = true;
      bool withData = version.size > 0 && version.HasDataMap();
      bool emptyFile = version.size == 0 && version.InUse() && !directory;
      if (pass == 0 ? !withData : !emptyFile) continue;
      std::vector<ExtRun> runs;
      bool fastLink = version.IsFastSymlink();
      if (!fastLink && !version.HasInlineData() && !volume_.MapOf(version, runs)) continue;
      if (withData && runs.empty() && !fastLink && !version.HasInlineData()) continue;
      resolved.state = ExtResolution::kRecovered;
      resolved.inode = version;
      resolved.runs = std::move(runs);
      break;
    }
  }
  if (resolved.state != ExtResolution::kRecovered && live && !earlierGeneration)
    resolved.state = ExtResolution::kLive;
  if (resolved.state != ExtResolution::kRecovered) return resolved;
  for (const ExtInode& version : versions)
    if (TypeFits(version, directory) && version.size > 0 && version.HasDataMap() &&
        version.generation != resolved.inode.generation &&
        !(live && version.generation == current.generation))
      resolved.ambiguous = true;
  return resolved;
}

}  // namespace salvora
