#pragma once
// The found files by their original folders: one root per scanned source,
// folders below it as the engine lists them, fetched when opened. People
// look for "the Photos folder" as often as for "all JPEGs". Every listing
// runs on a worker, so a folder of a million files never stops the window.
#include <QAbstractItemModel>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/BackgroundQueue.h"
#include "app/DiskListItem.h"
#include "app/ResultSet.h"

namespace salvora {

class FolderTreeModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  using ListingReady = std::function<void(std::shared_ptr<const RecordArena>, const std::string&)>;

  explicit FolderTreeModel(ResultSet& results, QObject* parent = nullptr);
  ~FolderTreeModel() override;

  // One root per source that holds an engine, named `names[i]`. Waits for
  // the worker first, so the engines of the old roots can go after it.
  void Reset(const std::vector<DiskListItem*>& sources, const std::vector<QString>& names);
  // Lists the files and folders directly in the folder (or source) at
  // `index` on the worker; `ready` gets them and the folder's path on the
  // window thread, unless another listing was asked for since.
  void ListChildren(const QModelIndex& index, ListingReady ready);
  // "a/b/" of the folder at `index`.
  std::string PathOf(const QModelIndex& index) const;
  // True while listings or checks are still under way.
  bool Busy() const { return queue_.Busy() || pendingChecks_ > 0; }
  // The worker that reads the engines; others that read them queue here.
  BackgroundQueue& EngineWorker() { return queue_; }

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
  QModelIndex IndexOf(Node* node) const;
  void AddFolders(Node* node, std::vector<FoundRecord> folders);
  // The files under a folder whose check box changed: those among the
  // results by their index there (a million of them in a few megabytes),
  // the others whole.
  struct FolderFiles {
    std::shared_ptr<const ResultSet::KeyIndex> indexedBy;  // the results' index asked
    std::vector<uint32_t> results;
    RecordArena others;
    size_t Size() const { return results.size() + others.Size(); }
  };
  // Applied a slice per turn of the event loop, in the order the boxes
  // were clicked.
  struct PendingChecks {
    std::shared_ptr<const FolderFiles> files;
    size_t next = 0;
    bool checked = false;
  };
  void ApplySomeChecks();

  ResultSet& results_;
  std::vector<std::unique_ptr<Node>> roots_;
  uint64_t generation_ = 0;   // counts resets; older answers are dropped
  uint64_t lastListing_ = 0;  // the listing whose answer is still wanted
  int pendingChecks_ = 0;  // checks asked for and not yet applied
  std::deque<PendingChecks> applying_;
  BackgroundQueue queue_;
};

}  // namespace salvora
