// The main window's disk list: filling it, following devices as they come
// and go, the information panel, and image files as sources.
#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSocketNotifier>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>
#include <set>

#include "app/DiskListLoader.h"
#include "app/DiskListModel.h"
#include "app/ItemActivation.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/OffWindowThread.h"
#include "app/MessageBox.h"
#include "app/SizeBarDelegate.h"
#include "app/Skin.h"
#include "platform/Clock.h"
#include "storage/DiskHelpers.h"

namespace salvora {

void CMainWnd::BindDiskList() {
  disks_ = std::make_unique<DiskListModel>();
  diskLoader_ = new DiskListLoader(this);
  connect(diskLoader_, &DiskListLoader::Loaded, this, &CMainWnd::ApplyDiskList);
  diskList_->setModel(disks_.get());
  diskList_->setItemDelegateForColumn(DiskListModel::kSize, new SizeBarDelegate(diskList_));
  diskList_->header()->setSectionResizeMode(DiskListModel::kName, QHeaderView::Stretch);
  diskList_->header()->setStretchLastSection(false);
  diskList_->header()->resizeSection(DiskListModel::kSize, 160);
  connect(diskList_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { OnDiskSelected(current); });
  OnRowActivation(diskList_, [this](const QModelIndex& index) { OnDiskActivated(index); });
}

void CMainWnd::RequestDiskList() { diskLoader_->Request(); }

void CMainWnd::RefillDiskList() {
  // A reading already running answers first; the one asked for here follows.
  uint64_t awaited = diskLoader_->Delivered() + (diskLoader_->Running() ? 2 : 1);
  QEventLoop wait;
  auto done = connect(diskLoader_, &DiskListLoader::Loaded, &wait, [&] {
    if (diskLoader_->Delivered() >= awaited) wait.quit();
  });
  diskLoader_->Request();
  if (diskLoader_->Delivered() < awaited) wait.exec(QEventLoop::ExcludeUserInputEvents);
  disconnect(done);
}

void CMainWnd::ApplyDiskList(const DiskListSnapshot& snapshot) {
  DiskListItem* selected = disks_->ItemAt(SelectedDiskRow());
  std::set<std::string> shownDisks;
  for (const PartitionRecord& record : disks_->Records()) shownDisks.insert(record.diskPath);
  disks_->Fill(snapshot.records,
               [&snapshot](int32_t disk) { return snapshot.removableDisks.count(disk) > 0; });
  diskList_->expandAll();
  QModelIndex images = disks_->ImageHeader();
  if (images.isValid()) diskList_->setRowHidden(images.row(), {}, workMode_ == kImaging);

  // A removable disk that just arrived is what the user wants to scan.
  QModelIndex toSelect;
  for (int group = 0; group < disks_->rowCount(); ++group) {
    QModelIndex header = disks_->index(group, 0);
    for (int row = 0; row < disks_->rowCount(header); ++row) {
      QModelIndex index = disks_->index(row, 0, header);
      DiskListItem* item = disks_->ItemAt(index);
      bool arrived = item->record && !shownDisks.empty() &&
                     !shownDisks.count(item->record->diskPath) && disks_->IsRemovableDisk(index);
      if (item == selected || (arrived && !scanning_)) toSelect = index;
    }
  }
  if (toSelect.isValid()) {
    SelectSourceRow(toSelect);
  } else {
    sourceSelected_ = false;
    FillInformation({});
  }
}

QModelIndex CMainWnd::SelectedDiskRow() const { return diskList_->currentIndex(); }

void CMainWnd::SelectSourceRow(const QModelIndex& index) {
  diskList_->setCurrentIndex(index);
  diskList_->scrollTo(index);
  OnDiskSelected(index);
}

void CMainWnd::OnDiskSelected(const QModelIndex& current) {
  QModelIndex row = current.sibling(current.row(), 0);
  if (!disks_->ItemAt(row)) return;
  FillInformation(row);
  sourceSelected_ = true;
  btnAdvanceScan_->setEnabled(true);
  tabFileType_->setEnabled(true);
}

void CMainWnd::OnDiskActivated(const QModelIndex& index) {
  QModelIndex row = index.sibling(index.row(), 0);
  if (!disks_->ItemAt(row) || workMode_ != kRecovery) return;
  // A key pressed by habit must not throw away what the last scan found.
  if (results_.Size() > 0 &&
      CMessageBox::Show(this, CMessageBox::kConfirm, Msg("MSG2001"), 400, 160) != CMessageBox::kOk)
    return;
  Scan();
}

void CMainWnd::FillInformation(const QModelIndex& index) {
  QLabel* labels[6];
  for (int i = 0; i < 6; ++i)
    labels[i] = Bind<QLabel>(form_, QStringLiteral("Label%1").arg(i + 1).toLatin1().constData());
  DiskListItem* item = disks_->ItemAt(index);
  if (!item) return;
  for (QLabel* label : labels) label->show();
  auto size = [](uint64_t bytes) {
    return QString::fromStdString(FormatSize(static_cast<int64_t>(bytes)));
  };
  if (item->IsImage()) {
    std::error_code error;
    uint64_t bytes = std::filesystem::file_size(item->imagePath, error);
    labels[0]->setText(Msg("MSG0209") + " " + QString::fromStdString(item->imagePath));
    labels[1]->setText(Msg("MSG0210") + " " + size(error ? 0 : bytes));
    for (int i = 2; i < 5; ++i) labels[i]->hide();
    labels[5]->clear();
    return;
  }
  const PartitionRecord& r = *item->record;
  labels[0]->setText(QStringLiteral("%1 %2").arg(Msg("MSG0203")).arg(r.ordinal));
  labels[1]->setText(r.label.empty() ? Msg("MSG0204")
                                     : Msg("MSG0204") + " " + QString::fromStdString(r.label));
  labels[2]->setText(Msg("MSG0205") + " " + QString::fromStdString(r.fileSystemName));
  labels[3]->setText(Msg("MSG0206") + " " + size(r.totalBytes));
  labels[4]->setText(Msg("MSG0207") + " " + size(r.usedBytes));
  labels[5]->setText(Msg("MSG0208") + " " + size(r.freeBytes));
}

QModelIndex CMainWnd::AddImageSource(const std::string& path) {
  DiskListModel::ImageFacts facts =
      WaitOffWindowThread([&path] { return DiskListModel::ProbeImage(path); });
  QModelIndex row = disks_->AddImage(path, facts);
  diskList_->expand(row.parent());  // the image files, or the image's own disk
  return row;
}

void CMainWnd::LoadImage() {
  QString filters = LanguageStore::Instance().Text("MainWnd", "ImageFilter") + ";;" +
                    LanguageStore::Instance().Text("MainWnd", "AllFilesFilter");
  QString path = QFileDialog::getOpenFileName(this, QString(), QString(), filters);
  if (path.isEmpty()) return;
  SelectSourceRow(AddImageSource(path.toStdString()));
}

void CMainWnd::WatchDevices() {
  deviceTimer_.setSingleShot(true);
  connect(&deviceTimer_, &QTimer::timeout, this, &CMainWnd::OnDeviceTimer);
  if (watcher_.Start() != 0 || watcher_.Descriptor() < 0) return;
  deviceNotifier_ = new QSocketNotifier(watcher_.Descriptor(), QSocketNotifier::Read, this);
  connect(deviceNotifier_, &QSocketNotifier::activated, this, &CMainWnd::OnDevicesReadable);
}

void CMainWnd::OnDevicesReadable() {
  watcher_.OnReadable(SteadyMilliseconds());
  ScheduleDeviceRefresh();
}

void CMainWnd::ScheduleDeviceRefresh() {
  auto wait = watcher_.MillisecondsUntilDue(SteadyMilliseconds());
  if (wait) deviceTimer_.start(static_cast<int>(*wait));
}

void CMainWnd::OnDeviceTimer() {
  // A window at work holds items of the list; the refresh waits for it.
  if (QApplication::activeModalWidget()) {
    deviceTimer_.start(1000);
    return;
  }
  DueRefresh due = watcher_.TakeDue(SteadyMilliseconds());
  // Linux renumbers disks when one goes, so every refresh rebuilds the
  // whole list; the items of entries still there keep their results.
  if (due.arrival || due.removal) RequestDiskList();
  ScheduleDeviceRefresh();
}

}  // namespace salvora
