#include "app/DiskListModel.h"

#include <QIcon>
#include <filesystem>

#include "app/LanguageStore.h"
#include "platform/VolumeProbe.h"
#include "storage/FormatSize.h"
#include "storage/ImageEntries.h"

namespace salvora {
namespace {

// Internal ids: 0 for a header row, group index + 1 for the rows under it.
constexpr quintptr kHeaderId = 0;

bool SameEntry(const PartitionRecord& a, const PartitionRecord& b) {
  return a.kind == b.kind && a.diskPath == b.diskPath && a.devicePath == b.devicePath &&
         a.start == b.start && a.length == b.length;
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

uint64_t FileSize(const std::string& path) {
  std::error_code error;
  uint64_t size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

}  // namespace

DiskListModel::DiskListModel(QObject* parent) : QAbstractItemModel(parent) { Retext(); }

DiskListModel::~DiskListModel() = default;

void DiskListModel::Retext() {
  headers_[kName] = LanguageStore::Instance().Text("MainWnd", "DiskListName");
  headers_[kType] = LanguageStore::Instance().Text("MainWnd", "DiskListType");
  headers_[kSize] = LanguageStore::Instance().Text("MainWnd", "DiskListSize");
  emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
  if (!groups_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumns - 1));
}

std::unique_ptr<DiskListItem> DiskListModel::TakeItemFor(const PartitionRecord& record) {
  for (Group& group : groups_) {
    if (group.isImages || !group.imageDisk.empty()) continue;
    for (auto& item : group.items) {
      if (item && SameEntry(*item->record, record)) {
        item->record = record;  // the ordinal and the disk number may have moved
        return std::move(item);
      }
    }
  }
  auto fresh = std::make_unique<DiskListItem>();
  fresh->record = record;
  fresh->key = nextKey_++;
  return fresh;
}

void DiskListModel::Fill(const std::vector<PartitionRecord>& records,
                         const std::function<bool(int32_t)>& isRemovable) {
  beginResetModel();
  std::vector<Group> disks;
  for (const PartitionRecord& record : records) {
    if (disks.empty() || disks.back().diskNumber != record.diskNumber) {
      Group group;
      group.diskNumber = record.diskNumber;
      group.removable = isRemovable(record.diskNumber);
      disks.push_back(std::move(group));
    }
    disks.back().items.push_back(TakeItemFor(record));
  }
  for (Group& group : groups_) {
    if (group.isImages || !group.imageDisk.empty()) {
      disks.push_back(std::move(group));
      continue;
    }
    for (auto& item : group.items)
      if (item && item->engine) retired_.push_back(std::move(item));
  }
  groups_ = std::move(disks);
  endResetModel();
}

DiskListModel::ImageFacts DiskListModel::ProbeImage(const std::string& path) {
  ImageFacts facts;
  if (ListImageEntries(path, facts.entries) && !facts.entries.empty()) return facts;
  facts.entries.clear();
  VolumeFacts volume;
  if (ProbeVolume(path, volume)) facts.fileSystemName = volume.fileSystemName;
  return facts;
}

QModelIndex DiskListModel::AddImage(const std::string& path, const ImageFacts& facts) {
  if (!facts.entries.empty()) return AddImageDisk(path, facts.entries);
  return AddPlainImage(path, facts.fileSystemName);
}

QModelIndex DiskListModel::AddImageDisk(const std::string& path,
                                        const std::vector<PartitionRecord>& entries) {
  int groupRow = rowCount();
  beginInsertRows({}, groupRow, groupRow);
  Group disk;
  disk.imageDisk = path;
  disk.diskNumber = entries.front().diskNumber;
  for (const PartitionRecord& entry : entries) {
    auto item = std::make_unique<DiskListItem>();
    item->record = entry;
    item->key = nextKey_++;
    disk.items.push_back(std::move(item));
  }
  groups_.push_back(std::move(disk));
  endInsertRows();
  return index(0, 0, index(groupRow, 0));
}

QModelIndex DiskListModel::AddPlainImage(const std::string& path,
                                        const std::string& fileSystemName) {
  QModelIndex header = ImageHeader();
  if (!header.isValid()) {
    beginInsertRows({}, rowCount(), rowCount());
    Group images;
    images.isImages = true;
    groups_.push_back(std::move(images));
    endInsertRows();
    header = ImageHeader();
  }
  Group& images = groups_[static_cast<size_t>(header.row())];
  int row = static_cast<int>(images.items.size());
  beginInsertRows(header, row, row);
  auto item = std::make_unique<DiskListItem>();
  item->imagePath = path;
  item->imageFileSystem = fileSystemName;
  item->key = nextKey_++;
  images.items.push_back(std::move(item));
  endInsertRows();
  return index(row, 0, header);
}

const DiskListModel::Group* DiskListModel::GroupOf(const QModelIndex& index) const {
  if (!index.isValid()) return nullptr;
  size_t group = index.internalId() == kHeaderId ? static_cast<size_t>(index.row())
                                                 : static_cast<size_t>(index.internalId() - 1);
  return group < groups_.size() ? &groups_[group] : nullptr;
}

DiskListItem* DiskListModel::ItemAt(const QModelIndex& index) const {
  if (!index.isValid() || index.internalId() == kHeaderId) return nullptr;
  const Group* group = GroupOf(index);
  size_t row = static_cast<size_t>(index.row());
  return group && row < group->items.size() ? group->items[row].get() : nullptr;
}

bool DiskListModel::IsDiskHeader(const QModelIndex& index) const {
  const Group* group = GroupOf(index);
  return group && index.internalId() == kHeaderId && !group->isImages;
}

bool DiskListModel::IsImageHeader(const QModelIndex& index) const {
  const Group* group = GroupOf(index);
  return group && index.internalId() == kHeaderId && group->isImages;
}

bool DiskListModel::IsRemovableDisk(const QModelIndex& index) const {
  const Group* group = GroupOf(index);
  return group && group->removable;
}

int32_t DiskListModel::DiskNumberAt(const QModelIndex& index) const {
  const Group* group = GroupOf(index);
  return group && !group->isImages ? group->diskNumber : -1;
}

std::vector<DiskListItem*> DiskListModel::SourcesAt(const QModelIndex& index) const {
  std::vector<DiskListItem*> sources;
  if (DiskListItem* item = ItemAt(index)) {
    sources.push_back(item);
  } else if (const Group* group = GroupOf(index)) {
    for (const auto& each : group->items) sources.push_back(each.get());
  }
  return sources;
}

std::vector<DiskListItem*> DiskListModel::AllItems() const {
  std::vector<DiskListItem*> all;
  for (const Group& group : groups_)
    for (const auto& item : group.items) all.push_back(item.get());
  for (const auto& item : retired_) all.push_back(item.get());
  return all;
}

DiskListItem* DiskListModel::ItemWithKey(uint16_t key) const {
  for (DiskListItem* item : AllItems())
    if (item && item->key == key) return item;
  return nullptr;
}

QModelIndex DiskListModel::ImageHeader() const {
  for (size_t g = 0; g < groups_.size(); ++g)
    if (groups_[g].isImages) return index(static_cast<int>(g), 0);
  return {};
}

QModelIndex DiskListModel::FirstRemovablePartition() const {
  for (size_t g = 0; g < groups_.size(); ++g)
    if (groups_[g].removable && !groups_[g].items.empty())
      return index(0, 0, index(static_cast<int>(g), 0));
  return {};
}

std::vector<PartitionRecord> DiskListModel::Records() const {
  std::vector<PartitionRecord> records;
  for (const Group& group : groups_)
    for (const auto& item : group.items)
      if (item->record && group.imageDisk.empty()) records.push_back(*item->record);
  return records;
}

QModelIndex DiskListModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column < 0 || column >= kColumns) return {};
  if (!parent.isValid())
    return static_cast<size_t>(row) < groups_.size() ? createIndex(row, column, kHeaderId)
                                                     : QModelIndex();
  if (parent.internalId() != kHeaderId) return {};
  size_t group = static_cast<size_t>(parent.row());
  if (group >= groups_.size() || static_cast<size_t>(row) >= groups_[group].items.size()) return {};
  return createIndex(row, column, static_cast<quintptr>(group + 1));
}

QModelIndex DiskListModel::parent(const QModelIndex& child) const {
  if (!child.isValid() || child.internalId() == kHeaderId) return {};
  return createIndex(static_cast<int>(child.internalId() - 1), 0, kHeaderId);
}

int DiskListModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return static_cast<int>(groups_.size());
  if (parent.internalId() != kHeaderId || parent.column() != 0) return 0;
  const Group* group = GroupOf(parent);
  return group ? static_cast<int>(group->items.size()) : 0;
}

int DiskListModel::columnCount(const QModelIndex&) const { return kColumns; }

QString DiskListModel::HeaderText(const Group& group) const {
  if (group.isImages) return LanguageStore::Instance().Text("MainWnd", "ImageFileHeader");
  if (!group.imageDisk.empty())
    return QString::fromStdString(std::filesystem::path(group.imageDisk).filename().string());
  return QStringLiteral("%1 %2")
      .arg(Msg(group.removable ? "MSG0202" : "MSG0201"))
      .arg(group.diskNumber + 1);
}

QString DiskListModel::NameText(const Group& group, const DiskListItem& item) const {
  if (group.isImages) return Text(std::filesystem::path(item.imagePath).filename().string());
  const PartitionRecord& r = *item.record;
  QString device = Text(std::filesystem::path(r.devicePath).filename().string());
  if (!group.imageDisk.empty()) device = Text(r.fileSystemName.empty() ? "" : r.fileSystemName);
  QString name = QStringLiteral("%1: ").arg(r.ordinal);
  if (r.kind == EntryKind::kUnallocated)
    return name + LanguageStore::Instance().Text("MainWnd", "Unallocated");
  name += device;
  if (!r.label.empty()) name += "  " + Text(r.label);
  if (!r.mountPoint.empty()) name += "  (" + Text(r.mountPoint) + ")";
  return name;
}

QVariant DiskListModel::data(const QModelIndex& index, int role) const {
  const Group* group = GroupOf(index);
  if (!group) return {};
  if (index.internalId() == kHeaderId) {
    if (index.column() != kName) return {};
    if (role == Qt::DisplayRole) return HeaderText(*group);
    if (role == Qt::DecorationRole)
      return QIcon(group->isImages || !group->imageDisk.empty() ? ":/skin/icons/image-file.svg"
                   : group->removable                           ? ":/skin/icons/removable-disk.svg"
                                                                : ":/skin/icons/fixed-disk.svg");
    return {};
  }
  const DiskListItem* item = ItemAt(index);
  if (!item) return {};
  uint64_t total = item->record ? item->record->totalBytes : FileSize(item->imagePath);
  uint64_t used = item->record ? item->record->usedBytes : 0;
  switch (index.column()) {
    case kName:
      return role == Qt::DisplayRole || role == Qt::AccessibleTextRole ? NameText(*group, *item)
                                                                       : QVariant();
    case kType:
      if (role != Qt::DisplayRole) return QVariant();
      return Text(item->record ? item->record->fileSystemName : item->imageFileSystem);
    case kSize:
      if (role == Qt::DisplayRole) return Text(FormatSize(static_cast<int64_t>(total)));
      if (role == kUsedPercentRole && item->record)
        return total == 0 ? 0 : static_cast<int>(used * 100 / total);
      return {};
    default:
      return {};
  }
}

QVariant DiskListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= kColumns)
    return {};
  return headers_[section];
}

}  // namespace salvora
