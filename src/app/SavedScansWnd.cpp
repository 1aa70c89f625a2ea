#include "app/SavedScansWnd.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>

#include "app/DiskListModel.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/MessageBox.h"
#include "app/SavedScanModel.h"
#include "app/Skin.h"
#include "deep/CompositeHistory.h"

namespace salvora {
namespace {

bool ReadsSameSource(const DiskListItem& item, const ScanHistoryEntry& entry) {
  uint64_t firstSector = EntryFirstSector(entry);
  std::string image = EntryImagePath(entry);
  if (!image.empty()) {
    // The index keeps an image's path made absolute and canonical.
    if (NormalImagePath(item.SourcePath()) != image) return false;
    return item.IsImage() ? firstSector == 0
                          : static_cast<uint64_t>(item.record->start) == firstSector;
  }
  return !item.IsImage() && item.record->diskNumber == static_cast<int32_t>(entry.key1) &&
         static_cast<uint64_t>(item.record->start) == firstSector &&
         static_cast<uint64_t>(item.record->length) == EntrySectorCount(entry);
}

QModelIndex FindSourceRow(DiskListModel& disks, const ScanHistoryEntry& entry) {
  for (int group = 0; group < disks.rowCount(); ++group) {
    QModelIndex header = disks.index(group, 0);
    for (int row = 0; row < disks.rowCount(header); ++row) {
      QModelIndex index = disks.index(row, 0, header);
      const DiskListItem* item = disks.ItemAt(index);
      if (item && ReadsSameSource(*item, entry)) return index;
    }
  }
  return {};
}

}  // namespace

QModelIndex SourceRowOf(CMainWnd& main, const ScanHistoryEntry& entry) {
  QModelIndex row = FindSourceRow(main.Disks(), entry);
  std::string image = EntryImagePath(entry);
  if (row.isValid() || image.empty() || !QFileInfo(QString::fromStdString(image)).isFile())
    return row;
  main.AddImageSource(image);
  return FindSourceRow(main.Disks(), entry);
}

CSavedScansWnd::CSavedScansWnd(CMainWnd* main)
    : QDialog(main), main_(main), scans_(new SavedScanModel(this)) {
  form_ = LoadSkin("SavedScansWnd", this);
  list_ = Bind<QTreeView>(form_, "ScanList");
  resume_ = Bind<QPushButton>(form_, "BtnResume");
  forget_ = Bind<QPushButton>(form_, "BtnForget");
  list_->setModel(scans_);
  list_->header()->setSectionResizeMode(SavedScanModel::kSource, QHeaderView::Stretch);
  list_->header()->setStretchLastSection(false);
  connect(resume_, &QPushButton::clicked, this, &CSavedScansWnd::Resume);
  connect(forget_, &QPushButton::clicked, this, &CSavedScansWnd::Forget);
  connect(list_, &QTreeView::activated, this, &CSavedScansWnd::Resume);
  connect(Bind<QPushButton>(form_, "BtnClose"), &QPushButton::clicked, this, &QDialog::reject);
  connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &CSavedScansWnd::UpdateButtons);
  connect(scans_, &QAbstractItemModel::modelReset, this, &CSavedScansWnd::UpdateButtons);
  connect(&LanguageStore::Instance(), &LanguageStore::Changed, this, &CSavedScansWnd::Retext);
  if (scans_->rowCount() > 0) list_->setCurrentIndex(scans_->index(0, 0));
  UpdateButtons();
  Retext();
}

void CSavedScansWnd::Retext() {
  ApplyTexts(form_);
  scans_->Retext();
}

int CSavedScansWnd::SelectedRow() const {
  QModelIndex current = list_->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void CSavedScansWnd::UpdateButtons() {
  bool chosen = SelectedRow() >= 0;
  resume_->setEnabled(chosen);
  forget_->setEnabled(chosen);
}

void CSavedScansWnd::Resume() {
  chosenRow_ = SelectedRow();
  if (chosenRow_ >= 0) accept();
}

void CSavedScansWnd::Forget() {
  int row = SelectedRow();
  if (row < 0) return;
  ScanHistoryEntry entry = scans_->EntryAt(row);
  if (CMessageBox::Show(this, CMessageBox::kConfirm,
                        MsgFormat("MSG2302", {SavedScanSource(entry).toStdString()}), 420,
                        180) != CMessageBox::kOk)
    return;
  // Only the index names the folder to delete: the core checks it belongs
  // to the scan-log folder.
  ScanHistory::Instance().RemoveEntryWithFolder(EntryResultFolder(entry));
  scans_->Reload();
}

void CSavedScansWnd::Run(CMainWnd* main) {
  CSavedScansWnd dialog(main);
  dialog.resize(640, 320);
  if (dialog.exec() != QDialog::Accepted || dialog.chosenRow_ < 0) return;
  ScanHistoryEntry entry = dialog.Scans().EntryAt(dialog.chosenRow_);
  QModelIndex row = SourceRowOf(*main, entry);
  if (!row.isValid()) {
    CMessageBox::Show(main, CMessageBox::kInformation,
                      MsgFormat("MSG2303", {SavedScanSource(entry).toStdString()}), 420, 180);
    return;
  }
  main->ResumeScanOf(row);
}

}  // namespace salvora
