#pragma once
// The quick scan's walk of an ext directory tree, from the root through
// every live folder and every deleted folder whose inode a version still
// describes. A folder's entries are gathered from every version of its
// blocks the volume and the journal hold: the kernel wipes a deleted entry
// in the block itself, but the journal's earlier copies still show it, and
// older kernels leave it in the slack behind the entry before it. An entry
// that the folder's blocks no longer hold, or any entry of a deleted
// folder, is a deleted file; each is recorded under its folder, and the
// folders above recorded files are written afterwards.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "clusters/QuickTreeEngine.h"
#include "ext/ExtDeletedInode.h"
#include "ext/ExtDirectoryBlock.h"
#include "ext/ExtVolume.h"
#include "results/ScanResultStore.h"

namespace salvora {

struct ExtVolumePlace {
  uint64_t firstSector = 0;  // absolute
  uint32_t sectorSize = 512;
  uint16_t sourceTag = 0;
};

// A record of the ext engines for a found file or folder.
FoundRecord MakeExtRecord(const ExtVolumePlace& place, const ExtSuperblock& sb,
                          const ExtInode& inode, const std::string& name);

class ExtTreeWalk final : public TreeWalk {
 public:
  ExtTreeWalk(ExtVolume& volume, ExtDeletedInodes& deleted, ScanResultStore& store,
              const ExtVolumePlace& place)
      : volume_(volume), deleted_(deleted), store_(store), place_(place) {}

  int Run(const std::function<int()>& betweenFolders) override;
  void WriteAncestorFolders() override;

 private:
  struct Folder {
    FoundRecord record{};
    ExtInode inode;
    uint32_t parent = 0;
    uint32_t depth = 0;
    bool deleted = false;
  };
  struct Found {
    ExtDirEntry entry;
    uint64_t byte = 0;  // volume byte of the entry
    size_t age = 0;     // of the version it was seen in: 0 the newest
  };

  // An entry's (name, inode): what tells one entry from another.
  using EntryKey = std::pair<std::string, uint32_t>;
  using EntryView = std::pair<std::string_view, uint32_t>;
  static EntryView KeyOf(const ExtDirEntry& entry) { return {entry.name, entry.inode}; }

  void WalkFolder(uint32_t number);
  // Entries of every version of the folder's blocks; `live` gets the
  // (name, inode) pairs the folder holds now, unsorted.
  void GatherEntries(const Folder& folder, std::vector<Found>& found, std::vector<EntryKey>& live);
  // For each found entry, whether it is the first with its (name, inode).
  static std::vector<bool> FirstOfEachEntry(const std::vector<Found>& found);
  // The entries a folder keeps inside its inode.
  void ParseInline(const ExtInode& inode, std::vector<ExtDirEntry>& out) const;
  bool VersionBelongs(const Folder& folder, const uint8_t* block) const;
  void HandleDeleted(const Folder& folder, uint32_t number, const Found& found);
  void AddFolder(const Folder& parent, uint32_t parentNumber, const ExtInode& inode,
                 const std::string& name, bool deleted, uint64_t entryByte);
  void RecordFile(const Folder& parent, uint32_t parentNumber, const ExtInode& inode,
                  const std::string& name, uint64_t entryByte);
  void MarkAncestors(uint32_t number);

  ExtVolume& volume_;
  ExtDeletedInodes& deleted_;
  ScanResultStore& store_;
  ExtVolumePlace place_;
  std::unordered_map<uint32_t, Folder> folders_;
  // A folder's entries, reused from folder to folder.
  std::vector<Found> found_;
  std::vector<EntryKey> live_;
  std::vector<ExtDirEntry> entries_;
  std::deque<uint32_t> pending_;
  std::vector<uint32_t> ancestors_;
  std::unordered_set<uint32_t> onAncestorList_;
};

}  // namespace salvora
