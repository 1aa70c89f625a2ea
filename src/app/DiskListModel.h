#pragma once
// The rows of the disk list: a header row per disk with its volumes,
// unallocated stretches or whole-disk entry under it, and an "Image File"
// header with the image files the user added. Refilling keeps the item
// (and the engine of its last scan) of every entry that is still there,
// because on Linux disk numbers and ordinals move when a disk comes or goes.
#include <QAbstractItemModel>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "app/DiskListItem.h"
#include "storage/PartitionRecord.h"

namespace salvora {

class DiskListModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  enum Column { kName, kType, kSize, kColumns };
  // The fraction of a row's size that is used, for the size column's bar.
  static constexpr int kUsedPercentRole = Qt::UserRole + 1;

  explicit DiskListModel(QObject* parent = nullptr);
  ~DiskListModel() override;

  // Shows `records` (in the enumerator's order), one header per disk.
  void Fill(const std::vector<PartitionRecord>& records,
            const std::function<bool(int32_t diskNumber)>& isRemovable);
  // What an image file holds, read from it (this reads the file: keep it
  // off the window thread).
  struct ImageFacts {
    std::vector<PartitionRecord> entries;  // of an image of a whole disk
    std::string fileSystemName;            // of any other
  };
  static ImageFacts ProbeImage(const std::string& path);
  // Adds an image file: an image of a whole disk (its first sector holds a
  // partition table) as a disk of its own with its entries, any other
  // under the "Image File" header. Returns its first row.
  QModelIndex AddImage(const std::string& path, const ImageFacts& facts);

  DiskListItem* ItemAt(const QModelIndex& index) const;
  bool IsDiskHeader(const QModelIndex& index) const;
  bool IsImageHeader(const QModelIndex& index) const;
  bool IsRemovableDisk(const QModelIndex& index) const;
  int32_t DiskNumberAt(const QModelIndex& index) const;
  // A partition or image row's item, or every item under a header row.
  std::vector<DiskListItem*> SourcesAt(const QModelIndex& index) const;
  // Every item that may hold an engine, also those whose disk has gone.
  std::vector<DiskListItem*> AllItems() const;
  // The item with this key, also when its disk has gone and its engine is
  // kept; null when a refresh freed it.
  DiskListItem* ItemWithKey(uint16_t key) const;
  // The header of the image files; invalid before the first image.
  QModelIndex ImageHeader() const;
  QModelIndex FirstRemovablePartition() const;
  // The records shown now.
  std::vector<PartitionRecord> Records() const;

  void Retext();

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  struct Group {
    bool isImages = false;  // the "Image File" group
    std::string imageDisk;  // an image of a whole disk: its path
    int32_t diskNumber = -1;
    bool removable = false;
    std::vector<std::unique_ptr<DiskListItem>> items;
  };

  std::unique_ptr<DiskListItem> TakeItemFor(const PartitionRecord& record);
  QModelIndex AddImageDisk(const std::string& path, const std::vector<PartitionRecord>& entries);
  QModelIndex AddPlainImage(const std::string& path, const std::string& fileSystemName);
  QString NameText(const Group& group, const DiskListItem& item) const;
  QString HeaderText(const Group& group) const;
  const Group* GroupOf(const QModelIndex& index) const;

  std::vector<Group> groups_;  // disks in order, then the images
  // Items of entries that vanished, kept while their engine's results
  // may still be listed.
  std::vector<std::unique_ptr<DiskListItem>> retired_;
  uint16_t nextKey_ = 1;
  QString headers_[kColumns];
};

}  // namespace salvora
