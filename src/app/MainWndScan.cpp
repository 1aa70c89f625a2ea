// The main window's scan: from the chosen source through the scan and the
// type collection to the results page.
#include <QCheckBox>
#include <QFileDialog>
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
#include "app/PreviewSession.h"
#include "app/ScanProcessWnd.h"
#include "app/SearchProcessWnd.h"
#include "app/TypeTreePanel.h"
#include "platform/DataFolders.h"
#include "platform/DeviceStack.h"
#include "results/ScanHistory.h"
#include "storage/FormatSize.h"
#include "storage/ScanDataPlacement.h"

namespace salvora {
namespace {

// The first mount that uses one of the device sources (images are copies
// already), with the source it uses.
bool FirstMountedSource(const std::vector<DiskListItem*>& sources, DiskListItem*& item,
                        MountEntry& mount) {
  for (DiskListItem* source : sources) {
    if (source->IsImage()) continue;
    std::vector<MountEntry> mounts = MountsUsingSource(source->SourcePath());
    if (mounts.empty()) continue;
    item = source;
    mount = mounts.front();
    return true;
  }
  return false;
}

uint64_t SourceBytes(const DiskListItem& item) {
  std::error_code ec;
  if (item.IsImage()) return std::filesystem::file_size(item.imagePath, ec);
  return static_cast<uint64_t>(std::max<int64_t>(item.record->length, 0)) *
         item.record->bytesPerSector;
}

// Where this scan keeps its data: the usual folder when it lies off the
// sources, else memory when it has room, else a folder the user names on
// another disk. Empty when the user gives up.
std::string ScanDataFolderFor(QWidget* owner, const std::vector<DiskListItem*>& sources,
                              bool deep) {
  std::vector<std::string> paths;
  uint64_t sourceBytes = 0;
  for (const DiskListItem* item : sources) {
    paths.push_back(item->SourcePath());
    sourceBytes += SourceBytes(*item);
  }
  uint64_t needed = ExpectedScanDataBytes(sourceBytes, deep);
  ScanDataPlace place = PlaceScanData(paths, needed, {});
  if (place.kind == ScanDataPlace::Kind::kMemory && deep)
    CMessageBox::Show(owner, CMessageBox::kInformation, MsgFormat("MSG2103", {place.folder}), 420,
                      180);
  if (place.kind != ScanDataPlace::Kind::kRefused) return place.folder;
  // A folder named earlier in this session is asked for only once.
  static std::string namedBefore;
  if (!namedBefore.empty() &&
      PlaceScanData(paths, needed, namedBefore).kind == ScanDataPlace::Kind::kUsual)
    return namedBefore;
  CMessageBox::Show(
      owner, CMessageBox::kWarning,
      MsgFormat("MSG2102", {place.usualFolder, FormatSize(static_cast<int64_t>(needed))}), 420,
      180);
  for (;;) {
    QString chosen = QFileDialog::getExistingDirectory(owner, Msg("MSG2104"));
    if (chosen.isEmpty()) return {};
    place = PlaceScanData(paths, needed, chosen.toStdString());
    if (place.kind == ScanDataPlace::Kind::kUsual) return namedBefore = place.folder;
    CMessageBox::Show(owner, CMessageBox::kWarning, MsgFormat("MSG2105", {chosen.toStdString()}),
                      400, 160);
  }
}

}  // namespace

void CMainWnd::ResumeScanOf(const QModelIndex& row) {
  if (scanning_) return;
  ChooseMode(kRecovery, CScanProcessWnd::kDeepScan);
  SelectSourceRow(row);
  Scan();
}

void CMainWnd::Scan() {
  QModelIndex row = SelectedDiskRow();
  row = row.sibling(row.row(), 0);
  std::vector<DiskListItem*> sources = disks_->SourcesAt(row);
  if (!row.isValid() || !sourceSelected_ || sources.empty()) {
    CMessageBox::Show(this, CMessageBox::kInformation, Msg("MSG0505"), 400, 160);
    return;
  }
  DiskListItem* mounted = nullptr;
  MountEntry mount;
  if (FirstMountedSource(sources, mounted, mount) &&
      CMessageBox::Show(this, CMessageBox::kQuestion,
                        MsgFormat("MSG2101", {mounted->SourcePath(), mount.mountPoint}), 450,
                        200) == CMessageBox::kOk) {
    ChooseMode(kImaging, scanMode_);
    SelectSourceRow(row);
    return;
  }
  std::string dataFolder =
      ScanDataFolderFor(this, sources, scanMode_ == CScanProcessWnd::kDeepScan);
  if (dataFolder.empty()) return;
  typeScan_ = CurrentPage() == kTypePage;
  // The results of the last scan go: its engines, and a quick scan's files.
  // The preview and the folder view let go of the engines first.
  previews_->Stop();
  folders_->Reset({}, {});
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
  tabRecover_->setEnabled(false);
  UpdateSummary();

  UseScanLogFolder(dataFolder);
  scanning_ = true;
  CScanProcessWnd window(sources, scanMode_, this);
  int code = window.Run();
  scanning_ = false;
  lastScanned_.clear();
  for (const DiskListItem* item : sources) lastScanned_.push_back(item->key);
  if (scanMode_ == CScanProcessWnd::kQuickScan) lastRunFolders_ = window.RunFolders();
  for (const std::string& folder : lastRunFolders_) ScanHistory::Instance().RemoveAtExit(folder);
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
  // The views let go of the old results before the worker replaces them;
  // the folder view's pending check marks go with them.
  folders_->Reset({}, {});
  files_->Clear();
  previewEdit_->clear();
  typeTree_->Clear();
  RecordArena records;
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
