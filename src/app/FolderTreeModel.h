#pragma once
// The found files by their original folders: one root per scanned source,
// folders below it as the engine lists them, fetched when opened. People
// look for "the Photos folder" as often as for "all JPEGs".
#include <QAbstractItemModel>
#include <memory>
#include <string>
#include <vector>

#include "app/DiskListItem.h"
#include "app/ResultSet.h"

namespace salvora {

class FolderTreeModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  explicit FolderTreeModel(ResultSet& results, QObject* parent = nullptr);
  ~FolderTreeModel() override;

  // One root per source that holds an engine, named `names[i]`.
  void Reset(const std::vector<DiskListItem*>& sources, const std::vector<QString>& names);
  // The files and folders directly in the folder (or source) at `index`.
  std::vector<FoundRecord> ChildrenOf(const QModelIndex& index) const;
  // "a/b/" of the folder at `index`.
  std::string PathOf(const QModelIndex& index) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  // Checking a folder checked or unchecked the files under it.
  void ChecksChanged();

 private:
  struct Node;
  Node* NodeAt(const QModelIndex& index) const;
  void CheckTree(Node& node, bool checked);

  ResultSet& results_;
  std::vector<std::unique_ptr<Node>> roots_;
};

}  // namespace salvora
