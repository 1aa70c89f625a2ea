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
  for (uint16_t key : lastScanned_)
    if (DiskListItem* item = disks_->ItemWithKey(key)) item->engine.reset();
  for (const std::string& folder : lastRunFolders_) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  lastRunFolders_.clear();
  results_.Reset({}, {});
  files_->Clear();
  typeTree_->Clear();
  folders_->Reset({}, {});
  tabRecover_->setEnabled(false);
  UpdateSummary();

  scanning_ = true;
  CScanProcessWnd window(sources, scanMode_, this);
  int code = window.Run();
  scanning_ = false;
  lastScanned_.clear();
  for (const DiskListItem* item : sources) lastScanned_.push_back(item->key);
  if (scanMode_ == CScanProcessWnd::kQuickScan) lastRunFolders_ = window.RunFolders();
  if (code == ProgressWnd::kClosedFailed) {
    QString reason = QString::fromStdString(window.FailureText());
    CMessageBox::Show(this, CMessageBox::kWarning,
                      reason.isEmpty() ? Msg("MSG0504") : Msg("MSG0504") + "\n\n" + reason, 300,
                      160);
  } else {
    ReportScanGaps(window);
  }
  CollectTypes();
}

void CMainWnd::ReportScanGaps(const CScanProcessWnd& window) {
  auto lines = [this](const std::vector<CScanProcessWnd::Gap>& gaps) {
    QString text;
    for (const CScanProcessWnd::Gap& gap : gaps)
      text += "\n  " + SourceName(*gap.source) + ": " + QString::fromStdString(gap.reason);
    return text;
  };
  QString text;
  if (!window.Skipped().empty()) text += Msg("MSG2003") + lines(window.Skipped());
  if (!window.Incomplete().empty()) {
    if (!text.isEmpty()) text += "\n\n";
    text += Msg("MSG2004") + lines(window.Incomplete()) + "\n\n" + Msg("MSG2005");
  }
  if (!text.isEmpty()) CMessageBox::Show(this, CMessageBox::kWarning, text, 450, 200);
}

std::vector<DiskListItem*> CMainWnd::ScannedSources() const {
  std::vector<DiskListItem*> sources;
  for (uint16_t key : lastScanned_) {
    DiskListItem* item = disks_->ItemWithKey(key);
    if (item && item->engine) sources.push_back(item);
  }
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
  std::vector<FoundRecord> records;
  std::vector<std::string> paths;
  CSearchProcessWnd window(sources, choice_->Filter(), records, this, &paths);
  window.Run();
  ShowResults(std::move(records), std::move(paths));
}

void CMainWnd::ShowResults(std::vector<FoundRecord> records, std::vector<std::string> paths) {
  files_->Clear();
  previewEdit_->clear();
  results_.Reset(std::move(records), std::move(paths));
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
