#include "app/TypeTreePanel.h"

#include <QCheckBox>
#include <QTreeWidget>

#include "app/LanguageStore.h"

namespace salvora {
namespace {

struct NodeKind {
  const char* node;
  const char* group;     // the option group whose files it holds
  const char* labelKey;  // the "Messages" key of its label
};

const NodeKind kNodes[] = {
    {"NodePhoto", "FileTypePhoto", "MSG0807"}, {"NodeAudio", "FileTypeAudio", "MSG0808"},
    {"NodeVideo", "FileTypeVideo", "MSG0809"}, {"NodeOffice", "FileTypeOffice", "MSG0810"},
    {"NodeZip", "FileTypeZip", "MSG0811"},     {"NodeOther", "FileTypeOther", "MSG0812"},
};

constexpr int kNameRole = Qt::UserRole;           // group nodes: "NodePhoto" ...
constexpr int kExtensionRole = Qt::UserRole + 1;  // children: the grouping extension
constexpr int kCountRole = Qt::UserRole + 2;

}  // namespace

TypeTreePanel::TypeTreePanel(QTreeWidget* tree, ResultSet& results, const FileTypeChoice& choice)
    : QObject(tree), tree_(tree), results_(results), choice_(choice) {
  for (const NodeKind& g : kNodes) {
    auto* node = new QTreeWidgetItem(tree_);
    node->setData(0, kNameRole, g.node);
    node->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    node->setHidden(true);
    groups_.push_back(node);
  }
  connect(tree_, &QTreeWidget::itemChanged, this, &TypeTreePanel::OnItemChanged);
}

QTreeWidgetItem* TypeTreePanel::GroupNode(const char* name) const {
  for (QTreeWidgetItem* node : groups_)
    if (node->data(0, kNameRole).toString() == QLatin1String(name)) return node;
  return nullptr;
}

void TypeTreePanel::Clear() {
  updating_ = true;
  for (QTreeWidgetItem* group : groups_) {
    qDeleteAll(group->takeChildren());
    group->setHidden(true);
  }
  updating_ = false;
}

void TypeTreePanel::Build() {
  Clear();
  updating_ = true;
  for (const auto& [extension, files] : results_.ByExtension()) {
    QCheckBox* option = choice_.OptionFor(extension);
    if (!option) {
      if (!choice_.OtherOption()->isChecked()) continue;
      option = choice_.OtherOption();
    }
    QString group = choice_.GroupOf(option);
    QTreeWidgetItem* parent = nullptr;
    for (size_t i = 0; i < std::size(kNodes); ++i)
      if (group == QLatin1String(kNodes[i].group)) parent = groups_[i];
    if (!parent) continue;
    parent->setHidden(false);
    QString name = option == choice_.OtherOption()
                       ? LanguageStore::Instance().FormatIn(
                             "MainWnd", "OtherFilesNode",
                             {QString::fromStdString(extension).toUpper().toStdString()})
                       : FileTypeChoice::ShortLabel(option);
    auto* child = new QTreeWidgetItem(parent);
    child->setText(0, QStringLiteral("%1 (%2)").arg(name).arg(files.files.size()));
    child->setData(0, kExtensionRole, QString::fromStdString(extension));
    child->setData(0, kCountRole, static_cast<qulonglong>(files.files.size()));
    child->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  }
  updating_ = false;
  Retext();
  RefreshChecks();
  tree_->expandAll();
}

void TypeTreePanel::UpdateGroupLabel(QTreeWidgetItem* group) {
  qulonglong sum = 0;
  for (int i = 0; i < group->childCount(); ++i)
    sum += group->child(i)->data(0, kCountRole).toULongLong();
  for (const NodeKind& g : kNodes)
    if (group->data(0, kNameRole).toString() == QLatin1String(g.node))
      group->setText(0, QStringLiteral("%1 (%2)").arg(Msg(g.labelKey)).arg(sum));
}

void TypeTreePanel::Retext() {
  bool was = updating_;
  updating_ = true;
  for (QTreeWidgetItem* group : groups_) UpdateGroupLabel(group);
  updating_ = was;
}

const ResultSet::ExtensionFiles* TypeTreePanel::ExtensionOf(const QTreeWidgetItem* node) const {
  if (!node || !node->parent()) return nullptr;
  auto found = results_.ByExtension().find(node->data(0, kExtensionRole).toString().toStdString());
  return found == results_.ByExtension().end() ? nullptr : &found->second;
}

std::vector<uint32_t> TypeTreePanel::FilesOf(const QTreeWidgetItem* node) const {
  const ResultSet::ExtensionFiles* extension = ExtensionOf(node);
  return extension ? extension->files : std::vector<uint32_t>();
}

Qt::CheckState TypeTreePanel::StateOf(const QTreeWidgetItem* node) const {
  uint64_t checked = 0, total = 0;
  auto count = [&](const QTreeWidgetItem* child) {
    if (const ResultSet::ExtensionFiles* extension = ExtensionOf(child))
      checked += extension->checked, total += extension->files.size();
  };
  if (node->parent()) {
    count(node);
  } else {
    for (int i = 0; i < node->childCount(); ++i) count(node->child(i));
  }
  if (checked == 0) return Qt::Unchecked;
  return checked == total ? Qt::Checked : Qt::PartiallyChecked;
}

void TypeTreePanel::RefreshChecks() {
  updating_ = true;
  for (QTreeWidgetItem* group : groups_) {
    for (int i = 0; i < group->childCount(); ++i)
      group->child(i)->setCheckState(0, StateOf(group->child(i)));
    group->setCheckState(0, StateOf(group));
  }
  updating_ = false;
}

void TypeTreePanel::OnItemChanged(QTreeWidgetItem* item, int column) {
  if (updating_ || column != 0) return;
  bool checked = item->checkState(0) != Qt::Unchecked;
  std::vector<const QTreeWidgetItem*> nodes;
  if (item->parent()) {
    nodes.push_back(item);
  } else {
    for (int i = 0; i < item->childCount(); ++i) nodes.push_back(item->child(i));
  }
  for (const QTreeWidgetItem* node : nodes)
    if (const ResultSet::ExtensionFiles* extension = ExtensionOf(node))
      for (uint32_t i : extension->files) results_.SetChecked(i, checked);
  RefreshChecks();
  emit ChecksChanged();
}

}  // namespace salvora
