#include "app/FolderTreeModel.h"

#include <algorithm>

#include "app/ExtensionIcon.h"
#include "app/RecordText.h"
#include "results/ScanResultStore.h"

namespace salvora {
namespace {

// A folder tree that loops back on itself ends here rather than never.
constexpr int32_t kMaxDepth = 256;

// Check marks applied per turn of the event loop: a few milliseconds.
constexpr uint32_t kChecksPerTurn = 50000;

}  // namespace

struct FolderTreeModel::Node {
  IFileRecoveryParse* engine = nullptr;
  Node* parent = nullptr;
  QString rootName;      // roots only
  FoundRecord folder{};  // folders only
  int32_t depth = 0;     // the depth that lists this node's children
  bool fetched = false;
  bool checked = false;
  std::vector<std::unique_ptr<Node>> children;

  bool IsRoot() const { return parent == nullptr; }
  int Row() const {
    if (!parent) return 0;
    for (size_t i = 0; i < parent->children.size(); ++i)
      if (parent->children[i].get() == this) return static_cast<int>(i);
    return 0;
  }
};

namespace {

// What a worker needs to list one folder, copied off the node.
struct FolderToList {
  IFileRecoveryParse* engine;
  bool isRoot;
  FoundRecord folder;
  int32_t depth;

  void Visit(const RecordVisitor& visit) const {
    if (engine) engine->VisitFolder(isRoot ? nullptr : &folder, depth, visit);
  }
};

// Every file in the subtree, each folder listed at the depth that lists
// its children; the depth bound ends a damaged tree that loops back on
// itself. Files among the results go to `results` by their index there.
void CollectFiles(const FolderToList& top, const ResultSet::KeyIndex& indexed,
                  std::vector<uint32_t>& results, RecordArena& others) {
  std::vector<std::pair<FoundRecord, int32_t>> folders;
  auto take = [&](int32_t depth) {
    return [&, depth](const FoundRecord& record) {
      if (record.isFolder) {
        if (depth < kMaxDepth) folders.emplace_back(record, depth);
        return;
      }
      auto listed = indexed.find(RecordKey(record));
      if (listed != indexed.end())
        results.push_back(listed->second);
      else
        others.Add(record);
    };
  };
  top.Visit(take(top.isRoot ? 1 : top.depth + 1));
  while (!folders.empty()) {
    auto [folder, depth] = folders.back();
    folders.pop_back();
    FolderToList{top.engine, false, folder, depth}.Visit(take(depth + 1));
  }
}

}  // namespace

FolderTreeModel::FolderTreeModel(ResultSet& results, QObject* parent)
    : QAbstractItemModel(parent), results_(results) {}

FolderTreeModel::~FolderTreeModel() = default;

void FolderTreeModel::Reset(const std::vector<DiskListItem*>& sources,
                            const std::vector<QString>& names) {
  queue_.WaitIdle();
  beginResetModel();
  ++generation_;
  pendingChecks_ = 0;
  applying_.clear();
  roots_.clear();
  for (size_t i = 0; i < sources.size(); ++i) {
    if (!sources[i]->engine) continue;
    auto root = std::make_unique<Node>();
    root->engine = sources[i]->engine.get();
    root->rootName = i < names.size() ? names[i] : QString();
    roots_.push_back(std::move(root));
  }
  endResetModel();
  // The first level shows as soon as it is listed; deeper ones load as
  // they are opened.
  for (int row = 0; row < static_cast<int>(roots_.size()); ++row) fetchMore(index(row, 0));
}

FolderTreeModel::Node* FolderTreeModel::NodeAt(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex FolderTreeModel::IndexOf(Node* node) const { return createIndex(node->Row(), 0, node); }

void FolderTreeModel::ListChildren(const QModelIndex& index, ListingReady ready) {
  Node* node = NodeAt(index);
  if (!node) return;
  uint64_t listing = ++lastListing_;
  FolderToList what{node->engine, node->IsRoot(), node->folder, node->depth};
  std::string path = PathOf(index);
  queue_.Run([this, what, path, listing, generation = generation_, ready = std::move(ready)] {
    auto arena = std::make_shared<RecordArena>();
    what.Visit([&](const FoundRecord& child) { arena->Add(child); });
    arena->SortListing();
    queue_.Post([this, arena, path, listing, generation, ready] {
      if (generation == generation_ && listing == lastListing_) ready(arena, path);
    });
  });
}

std::string FolderTreeModel::PathOf(const QModelIndex& index) const {
  std::string path;
  for (Node* node = NodeAt(index); node && !node->IsRoot(); node = node->parent)
    path =
        std::string(node->folder.name, strnlen(node->folder.name, kRecordNameBytes)) + "/" + path;
  return path;
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column != 0) return {};
  if (!parent.isValid())
    return static_cast<size_t>(row) < roots_.size() ? createIndex(row, 0, roots_[row].get())
                                                    : QModelIndex();
  Node* node = NodeAt(parent);
  if (static_cast<size_t>(row) >= node->children.size()) return {};
  return createIndex(row, 0, node->children[row].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
  Node* node = NodeAt(child);
  if (!node || !node->parent) return {};
  return IndexOf(node->parent);
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return static_cast<int>(roots_.size());
  return static_cast<int>(NodeAt(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
  if (!parent.isValid()) return !roots_.empty();
  Node* node = NodeAt(parent);
  return !node->fetched || !node->children.empty();
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
  Node* node = NodeAt(parent);
  return node && !node->fetched;
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
  Node* node = NodeAt(parent);
  if (!node || node->fetched) return;
  node->fetched = true;
  if (node->depth >= kMaxDepth) return;
  FolderToList what{node->engine, node->IsRoot(), node->folder, node->depth};
  queue_.Run([this, what, node, generation = generation_] {
    std::vector<FoundRecord> folders;
    what.Visit([&](const FoundRecord& child) {
      if (child.isFolder) folders.push_back(child);
    });
    SortRecords(folders);
    queue_.Post([this, node, generation, folders = std::move(folders)]() mutable {
      if (generation == generation_) AddFolders(node, std::move(folders));
    });
  });
}

void FolderTreeModel::AddFolders(Node* node, std::vector<FoundRecord> folders) {
  QModelIndex parent = IndexOf(node);
  if (folders.empty()) {
    emit dataChanged(parent, parent);
    return;
  }
  std::vector<std::unique_ptr<Node>> children;
  for (const FoundRecord& record : folders) {
    auto folder = std::make_unique<Node>();
    folder->engine = node->engine;
    folder->parent = node;
    folder->folder = record;
    folder->depth = node->IsRoot() ? 1 : node->depth + 1;
    folder->checked = node->checked;
    children.push_back(std::move(folder));
  }
  beginInsertRows(parent, 0, static_cast<int>(children.size()) - 1);
  node->children = std::move(children);
  endInsertRows();
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
  Node* node = NodeAt(index);
  if (!node) return {};
  switch (role) {
    case Qt::DisplayRole:
      return node->IsRoot() ? node->rootName : RecordName(node->folder);
    case Qt::DecorationRole:
      return node->IsRoot() ? QVariant() : QVariant(ExtensionIcon("folder", true));
    case Qt::CheckStateRole:
      return node->checked ? Qt::Checked : Qt::Unchecked;
    default:
      return {};
  }
}

void FolderTreeModel::ApplySomeChecks() {
  if (applying_.empty()) return;
  PendingChecks& front = applying_.front();
  const FolderFiles& files = *front.files;
  // Indices into results that were collected anew meanwhile point nowhere.
  bool indicesHold = files.indexedBy == results_.SharedKeyIndex();
  size_t end = std::min(files.Size(), front.next + kChecksPerTurn);
  for (size_t i = front.next; i < end; ++i) {
    if (i >= files.results.size())
      results_.SetRecordChecked(files.others.Full(static_cast<uint32_t>(i - files.results.size())),
                                front.checked);
    else if (indicesHold)
      results_.SetChecked(files.results[i], front.checked);
  }
  front.next = end;
  if (end == files.Size()) {
    applying_.pop_front();
    --pendingChecks_;
    emit ChecksChanged();
  }
  if (!applying_.empty())
    QMetaObject::invokeMethod(this, &FolderTreeModel::ApplySomeChecks, Qt::QueuedConnection);
}

bool FolderTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  Node* node = NodeAt(index);
  if (!node || role != Qt::CheckStateRole) return false;
  bool checked = value.toInt() == Qt::Checked;
  // The box changes at once; the files under it follow when the worker
  // has walked the tree.
  node->checked = checked;
  for (auto& child : node->children) child->checked = checked;
  emit dataChanged(index, index, {Qt::CheckStateRole});
  if (!node->children.empty())
    emit dataChanged(this->index(0, 0, index),
                     this->index(static_cast<int>(node->children.size()) - 1, 0, index));
  ++pendingChecks_;
  FolderToList what{node->engine, node->IsRoot(), node->folder, node->depth};
  queue_.Run([this, what, checked, generation = generation_, keys = results_.SharedKeyIndex()] {
    auto files = std::make_shared<FolderFiles>();
    files->indexedBy = keys;
    CollectFiles(what, *keys, files->results, files->others);
    queue_.Post([this, files, checked, generation] {
      if (generation != generation_) return;
      applying_.push_back({files, 0, checked});
      if (applying_.size() == 1) ApplySomeChecks();
    });
  });
  return true;
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
  return QAbstractItemModel::flags(index) | Qt::ItemIsUserCheckable;
}

}  // namespace salvora
