#pragma once
// What the quick engines of FAT, exFAT and ext share: the volume is read
// once the source opens, and a scan walks the volume's directory tree into
// a new "Fast_" store with time-based progress, since the number of
// directories is unknown in advance. Each engine supplies its volume and
// its walk.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "storage/StoreEngine.h"

namespace salvora {

// One walk of a volume's tree into the engine's store.
class TreeWalk {
 public:
  virtual ~TreeWalk() = default;
  // Walks the tree. `betweenDirectories` is asked after each directory;
  // its non-zero answer stops the walk and is returned.
  virtual int Run(const std::function<int()>& betweenDirectories) = 0;
  // Writes the folders that lie above recorded files, each filed under its
  // parent, so that every recorded file can be reached from the root.
  virtual void WriteAncestorFolders() = 0;
};

class QuickTreeEngine : public StoreEngine {
 public:
  int OpenImage(const std::string& imagePath, uint16_t sourceTag) override;
  int OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
               uint16_t sourceTag) override;
  int Scan(const char* savedStoreName) override;

 protected:
  // Reads the volume's own structures once the source is open.
  virtual int OpenVolume() = 0;
  // A walk of the volume's tree into store_, or null when the volume has no
  // tree that can be walked.
  virtual std::unique_ptr<TreeWalk> MakeWalk() = 0;

 private:
  int WalkTree(TreeWalk& walk);
};

}  // namespace salvora
