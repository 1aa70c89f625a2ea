// The main window's scan: from the chosen source through the scan and the
// type collection to the results page.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <filesystem>

#include "app/DiskListModel.h"
#include "app/FileListModel.h"
#include "app/FileTypeChoice.h"
#include "app/FolderTreeModel.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/MessageBox.h"
#include "app/ScanProcessWnd.h"
#include "app/SearchProcessWnd.h"
#include "app/TypeTreePanel.h"

namespace salvora {

void CMainWnd::Scan() {
  QModelIndex row = SelectedDiskRow();
  row = row.sibling(row.row(), 0);
  std::vector<DiskListItem*> sources = disks_->SourcesAt(row);
  if (!row.isValid() || !sourceSelected_ || sources.empty()) {
    CMessageBox::Show(this, CMessageBox::kInformation, Msg("MSG0505"), 400, 160);
    return;
  }
  typeScan_ = CurrentPage() == kTypePage;
  // The results of the last scan go: its engines, and a quick scan's files.
  // The folder view lets go of the engines first.
  folders_->Reset({}, {});
  for (DiskListItem* item : lastScanned_) item->engine.reset();
  for (const std::string& folder : lastRunFolders_) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  lastRunFolders_.clear();
  results_.Reset({}, {});
  files_->Clear();
  typeTree_->Clear();
  tabRecover_->setEnabled(false);
  UpdateSummary();

  scanning_ = true;
  CScanProcessWnd window(sources, scanMode_, this);
  int code = window.Run();
  scanning_ = false;
  lastScanned_ = sources;
  if (scanMode_ == CScanProcessWnd::kQuickScan) lastRunFolders_ = window.RunFolders();
  if (code == ProgressWnd::kClosedFailed) {
    QString reason = QString::fromStdString(window.FailureText());
    CMessageBox::Show(this, CMessageBox::kWarning,
                      reason.isEmpty() ? Msg("MSG0504") : Msg("MSG0504") + "\n\n" + reason, 300,
                      160);
  }
  CollectTypes();
}

std::vector<DiskListItem*> CMainWnd::ScannedSources() const {
  std::vector<DiskListItem*> sources;
  for (DiskListItem* item : lastScanned_)
    if (item->engine) sources.push_back(item);
  return sources;
}

QString CMainWnd::SourceName(const DiskListItem& item) const {
  if (item.IsImage())
    return QString::fromStdString(std::filesystem::path(item.imagePath).filename().string());
  QString name = QStringLiteral("%1: %2")
                     .arg(item.record->ordinal)
                     .arg(QString::fromStdString(
                         std::filesystem::path(item.record->devicePath).filename().string()));
  if (!item.record->label.empty()) name += "  " + QString::fromStdString(item.record->label);
  return name;
}

void CMainWnd::CollectTypes() {
  std::vector<DiskListItem*> sources = ScannedSources();
  if (sources.empty()) return;
  // The views let go of the old results before the worker replaces them;
  // the folder view's pending check marks go with them.
  folders_->Reset({}, {});
  files_->Clear();
  previewEdit_->clear();
  typeTree_->Clear();
  std::vector<FoundRecord> records;
  std::vector<std::string> paths;
  CSearchProcessWnd window(sources, choice_->Filter(), records, this, &paths);
  // Grouping a million files would stop the window; the collection's
  // worker does it while its progress shows.
  window.SetFinishingStep([&] { results_.Reset(std::move(records), std::move(paths)); });
  window.Run();
  ShowResults();
}

void CMainWnd::ShowResults() {
  typeTree_->Build();
  std::vector<DiskListItem*> sources = ScannedSources();
  std::vector<QString> names;
  for (DiskListItem* item : sources) names.push_back(SourceName(*item));
  folders_->Reset(sources, names);
  tabRecover_->setEnabled(true);
  UpdateSummary();
  UpdateSelectAll();
  ShowPage(kResultPage);
}

}  // namespace salvora
