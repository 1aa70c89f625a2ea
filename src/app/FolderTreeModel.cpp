#include "app/FolderTreeModel.h"

#include <QApplication>

#include "app/ExtensionIcon.h"
#include "app/RecordText.h"

namespace salvora {
namespace {

// A folder tree that loops back on itself ends here rather than never.
constexpr int32_t kMaxDepth = 256;

}  // namespace

struct FolderTreeModel::Node {
  DiskListItem* source = nullptr;
  Node* parent = nullptr;
  QString rootName;        // roots only
  FoundRecord folder{};    // folders only
  int32_t depth = 0;       // the depth that lists this node's children
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
  std::vector<FoundRecord> List() const {
    std::vector<FoundRecord> children;
    if (source && source->engine)
      source->engine->ListFolder(IsRoot() ? nullptr : &folder, depth, children);
    return children;
  }
};

FolderTreeModel::FolderTreeModel(ResultSet& results, QObject* parent)
    : QAbstractItemModel(parent), results_(results) {}

FolderTreeModel::~FolderTreeModel() = default;

void FolderTreeModel::Reset(const std::vector<DiskListItem*>& sources,
                            const std::vector<QString>& names) {
  beginResetModel();
  roots_.clear();
  for (size_t i = 0; i < sources.size(); ++i) {
    if (!sources[i]->engine) continue;
    auto root = std::make_unique<Node>();
    root->source = sources[i];
    root->rootName = i < names.size() ? names[i] : QString();
    roots_.push_back(std::move(root));
  }
  endResetModel();
  // The first level shows at once; deeper ones load as they are opened.
  for (int row = 0; row < static_cast<int>(roots_.size()); ++row) fetchMore(index(row, 0));
}

FolderTreeModel::Node* FolderTreeModel::NodeAt(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

std::vector<FoundRecord> FolderTreeModel::ChildrenOf(const QModelIndex& index) const {
  Node* node = NodeAt(index);
  return node ? node->List() : std::vector<FoundRecord>();
}

std::string FolderTreeModel::PathOf(const QModelIndex& index) const {
  std::string path;
  for (Node* node = NodeAt(index); node && !node->IsRoot(); node = node->parent)
    path = std::string(node->folder.name, strnlen(node->folder.name, kRecordNameBytes)) + "/" + path;
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
  return createIndex(node->parent->Row(), 0, node->parent);
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
  std::vector<std::unique_ptr<Node>> folders;
  if (node->depth < kMaxDepth) {
    for (const FoundRecord& child : node->List()) {
      if (!child.isFolder) continue;
      auto folder = std::make_unique<Node>();
      folder->source = node->source;
      folder->parent = node;
      folder->folder = child;
      folder->depth = node->IsRoot() ? 1 : node->depth + 1;
      folder->checked = node->checked;
      folders.push_back(std::move(folder));
    }
  }
  if (folders.empty()) {
    emit dataChanged(parent, parent);
    return;
  }
  beginInsertRows(parent, 0, static_cast<int>(folders.size()) - 1);
  node->children = std::move(folders);
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

void FolderTreeModel::CheckTree(Node& node, bool checked) {
  node.checked = checked;
  // Each level keeps the depth that lists its folders; the depth bound ends
  // a damaged tree that loops back on itself.
  int32_t childDepth = node.IsRoot() ? 1 : node.depth + 1;
  std::vector<std::pair<std::vector<FoundRecord>, int32_t>> levels{{node.List(), childDepth}};
  while (!levels.empty()) {
    auto [records, depth] = std::move(levels.back());
    levels.pop_back();
    for (const FoundRecord& record : records) {
      if (!record.isFolder) {
        results_.SetRecordChecked(record, checked);
      } else if (depth < kMaxDepth && node.source->engine) {
        std::vector<FoundRecord> inner;
        node.source->engine->ListFolder(&record, depth, inner);
        levels.push_back({std::move(inner), depth + 1});
      }
    }
  }
  for (auto& child : node.children) child->checked = checked;
}

bool FolderTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  Node* node = NodeAt(index);
  if (!node || role != Qt::CheckStateRole) return false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  CheckTree(*node, value.toInt() == Qt::Checked);
  QApplication::restoreOverrideCursor();
  emit dataChanged(index, index, {Qt::CheckStateRole});
  if (node->fetched && !node->children.empty())
    emit dataChanged(this->index(0, 0, index),
                     this->index(static_cast<int>(node->children.size()) - 1, 0, index));
  emit ChecksChanged();
  return true;
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
  return QAbstractItemModel::flags(index) | Qt::ItemIsUserCheckable;
}

}  // namespace salvora
