#pragma once
// The tree of found files by type: six group nodes (photo, audio, video,
// office, archive, other), each with one child per extension found, labelled
// with the option's name and the number of files. A node's check box shows
// whether its files are checked, and checking it checks them all.
#include <QObject>
#include <QString>
#include <string>
#include <vector>

#include "app/FileTypeChoice.h"
#include "app/ResultSet.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace salvora {

class TypeTreePanel : public QObject {
  Q_OBJECT

 public:
  TypeTreePanel(QTreeWidget* tree, ResultSet& results, const FileTypeChoice& choice);

  // Builds the nodes for the results of the last collection.
  void Build();
  void Clear();
  // Check boxes again after checks changed elsewhere.
  void RefreshChecks();
  void Retext();
  // The result indices of the node, in result order (empty for a group).
  std::vector<uint32_t> FilesOf(const QTreeWidgetItem* node) const;
  QTreeWidgetItem* GroupNode(const char* name) const;

 signals:
  // The user checked or unchecked a node.
  void ChecksChanged();

 private:
  void OnItemChanged(QTreeWidgetItem* item, int column);
  void UpdateGroupLabel(QTreeWidgetItem* group);
  Qt::CheckState StateOf(const QTreeWidgetItem* node) const;
  // The files of an extension node; null for a group node.
  const ResultSet::ExtensionFiles* ExtensionOf(const QTreeWidgetItem* node) const;

  QTreeWidget* tree_;
  ResultSet& results_;
  const FileTypeChoice& choice_;
  std::vector<QTreeWidgetItem*> groups_;
  bool updating_ = false;
};

}  // namespace salvora
