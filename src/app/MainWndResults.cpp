// The main window's results page: the type tree, the folder view, the file
// list with its checks, the selection summary, and the recovery.
#include <QCheckBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QVBoxLayout>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeView>
#include <QTreeWidget>

#include "app/DiskListModel.h"
#include "app/FileListModel.h"
#include "app/FileTypeChoice.h"
#include "app/FolderTreeModel.h"
#include "app/ItemActivation.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/MessageBox.h"
#include "app/PreviewDisplay.h"
#include "app/PreviewSession.h"
#include "app/PreviewWnd.h"
#include "app/RecoverProcessWnd.h"
#include "app/SearchBar.h"
#include "app/TypeTreePanel.h"
#include "platform/DeviceStack.h"
#include "storage/FormatSize.h"

namespace salvora {

void CMainWnd::BindResults() {
  choice_ = new FileTypeChoice(form_);
  typeTree_ = new TypeTreePanel(typeTreeWidget_, results_, *choice_);
  files_ = std::make_unique<FileListModel>(results_);
  fileList_->setModel(files_.get());
  fileList_->header()->setSectionsClickable(true);
  fileList_->header()->setSortIndicatorShown(true);
  fileList_->header()->setSectionResizeMode(FileListModel::kName, QHeaderView::Interactive);
  // Name, folder and size fit the list's starting width; dates and the
  // rest are a scroll away.
  fileList_->header()->resizeSection(FileListModel::kName, 170);
  fileList_->header()->resizeSection(FileListModel::kPath, 90);
  folders_ = std::make_unique<FolderTreeModel>(results_);
  diskTree_->setModel(folders_.get());
  BindSearch();

  previews_ = new PreviewSession(this, folders_->EngineWorker());
  connect(fileList_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { OnFileRowSelected(current); });
  OnRowActivation(fileList_, [this](const QModelIndex& index) { OnFileRowActivated(index); });
  fileList_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(fileList_, &QTreeView::customContextMenuRequested, this, &CMainWnd::ShowFileMenu);
  connect(typeTreeWidget_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) { OnTypeNodeSelected(current); });
  connect(diskTree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { OnFolderSelected(current); });
  connect(fileList_->header(), &QHeaderView::sectionClicked, this, &CMainWnd::OnHeaderClicked);
  connect(selectAll_, &QCheckBox::stateChanged, this, &CMainWnd::OnSelectAll);
  connect(files_.get(), &FileListModel::ChecksChanged, this, &CMainWnd::OnChecksChanged);
  connect(typeTree_, &TypeTreePanel::ChecksChanged, this, &CMainWnd::OnChecksChanged);
  connect(folders_.get(), &FolderTreeModel::ChecksChanged, this, &CMainWnd::OnChecksChanged);
}

void CMainWnd::BindSearch() {
  searchBar_ = new SearchBar(fileList_->parentWidget());
  if (auto* pane = qobject_cast<QVBoxLayout*>(fileList_->parentWidget()->layout()))
    pane->insertWidget(0, searchBar_);
  // The bar takes its rows from the list's pane: the list keeps the larger
  // share of its splitter, so more than two rows show beside the preview.
  if (auto* split = qobject_cast<QSplitter*>(fileList_->parentWidget()->parentWidget())) {
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
  }
  auto* find = new QShortcut(QKeySequence::Find, this);
  connect(find, &QShortcut::activated, this, [this] {
    if (CurrentPage() == kResultPage) searchBar_->FocusName();
  });
  connect(searchBar_, &SearchBar::CriteriaChanged, this, &CMainWnd::OnSearchChanged);
  connect(searchBar_, &SearchBar::SelectMatchesClicked, this, [this] { files_->CheckAll(true); });
  UpdateSearchInfo();
}

void CMainWnd::OnSearchChanged() {
  RecordCriteria criteria;
  // A size or day that cannot be read leaves the list as it was.
  if (searchBar_->Criteria(criteria)) files_->SetCriteria(criteria);
  UpdateSelectAll();
  UpdateSearchInfo();
}

void CMainWnd::UpdateSearchInfo() {
  searchBar_->ShowMatches(static_cast<size_t>(files_->rowCount()), files_->UnfilteredRows(),
                          files_->ShownBytes());
}

void CMainWnd::OnTypeNodeSelected(QTreeWidgetItem* node) {
  // The file being previewed leaves the list.
  previews_->Cancel();
  files_->ShowResults(typeTree_->FilesOf(node));
  UpdateSelectAll();
  UpdateSearchInfo();
}

void CMainWnd::OnFileRowSelected(const QModelIndex& index) {
  ClearPreview(previewEdit_);
  if (!index.isValid()) return;
  FoundRecord record = files_->RecordAt(index.row());
  previews_->ShowIn(previewEdit_, record, EngineOf(record.sourceTag), Msg("MSG0905"));
}

void CMainWnd::OnFileRowActivated(const QModelIndex& index) {
  if (!index.isValid() || index.row() >= files_->rowCount()) return;
  // Selecting a song or a film already plays it; the preview window is for
  // pictures and would only start it again.
  PreviewKind kind = PreviewKindOfName(files_->RecordAt(index.row()).name);
  if (kind == PreviewKind::kAudio || kind == PreviewKind::kVideo) return;
  OpenPreviewWindow(index.row());
}

void CMainWnd::OpenPreviewWindow(int row) {
  if (row < 0 || row >= files_->rowCount()) return;
  CPreviewWnd window(*this, *previews_, row);
  window.exec();
  // A preview of the list that the window's own cancelled is asked again.
  if (previewEdit_->document()->isEmpty()) OnFileRowSelected(fileList_->currentIndex());
}

void CMainWnd::ShowFileMenu(const QPoint& at) {
  QModelIndex index = fileList_->indexAt(at);
  if (!index.isValid()) return;
  LanguageStore& texts = LanguageStore::Instance();
  QMenu menu(this);
  menu.addAction(texts.Text("MainWnd", "PreviewAction"), this,
                 [this, row = index.row()] { OpenPreviewWindow(row); });
  bool checked = results_.IsRecordChecked(files_->RecordAt(index.row()));
  menu.addAction(texts.Text("MainWnd", checked ? "UncheckAction" : "CheckAction"), this,
                 [this, index, checked] {
                   files_->setData(index.sibling(index.row(), 0),
                                   checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
                 });
  menu.exec(fileList_->viewport()->mapToGlobal(at));
}

IFileRecoveryParse* CMainWnd::EngineOf(uint16_t sourceTag) const {
  DiskListItem* item = disks_->ItemWithKey(sourceTag);
  return item ? item->engine.get() : nullptr;
}

void CMainWnd::OnFolderSelected(const QModelIndex& index) {
  if (!index.isValid()) return;
  // The file being previewed leaves the list, and its copy would hold up
  // the listing on the engines' worker.
  previews_->Cancel();
  folders_->ListChildren(index, [this](std::shared_ptr<const RecordArena> listing,
                                       const std::string& path) {
    files_->ShowListing(std::move(listing), path);
    UpdateSelectAll();
    UpdateSearchInfo();
  });
}

void CMainWnd::OnHeaderClicked(int column) {
  FileListModel::Direction direction = files_->ClickHeader(column);
  fileList_->header()->setSortIndicator(column, direction == FileListModel::Direction::kAscending
                                                    ? Qt::AscendingOrder
                                                    : Qt::DescendingOrder);
}

void CMainWnd::OnSelectAll(int state) {
  if (updatingSelectAll_) return;
  // A click on a partly checked box checks every row.
  files_->CheckAll(state != Qt::Unchecked);
}

void CMainWnd::OnChecksChanged() {
  files_->RefreshChecks();
  typeTree_->RefreshChecks();
  UpdateSelectAll();
  UpdateSummary();
  UpdateSearchInfo();
}

void CMainWnd::UpdateSelectAll() {
  updatingSelectAll_ = true;
  int checked = files_->CheckedRows();
  int rows = files_->rowCount();
  selectAll_->setCheckState(checked == 0      ? Qt::Unchecked
                            : checked == rows ? Qt::Checked
                                              : Qt::PartiallyChecked);
  // The user's click on a half-checked box goes to "all", never to "half".
  selectAll_->setTristate(checked != 0 && checked != rows);
  updatingSelectAll_ = false;
}

void CMainWnd::UpdateSummary() {
  uint64_t count = results_.CheckedCount();
  btnRecover_->setEnabled(count > 0);
  if (count == 0) {
    selectedFileInfo_->setText(Msg("MSG0803"));
    return;
  }
  selectedFileInfo_->setText(
      MsgFormat("MSG0804", {FormatSize(static_cast<int64_t>(results_.CheckedBytes())), count}));
}

void CMainWnd::Recover() {
  QString chosen = QFileDialog::getExistingDirectory(
      this, LanguageStore::Instance().Text("MainWnd", "RecoverFolderTitle"));
  if (chosen.isEmpty()) return;
  while (chosen.size() > 1 && (chosen.endsWith('/') || chosen.endsWith('\\'))) chosen.chop(1);
  RecoverInto(chosen.toStdString());
}

int CMainWnd::RecoverInto(const std::string& destination) {
  return RecoverRecords(destination, results_.CheckedRecords());
}

int CMainWnd::RecoverRecords(const std::string& destination, std::vector<FoundRecord> records) {
  bool onSource = false;
  for (DiskListItem* item : ScannedSources()) {
    if (PlaceTouchesSource(destination, item->SourcePath())) onSource = true;
  }
  if (onSource &&
      CMessageBox::Show(this, CMessageBox::kConfirm, Msg("MSG0805"), 450, 160) != CMessageBox::kOk)
    return 0;
  // The recovery reads through the same engines as a preview would.
  previews_->Stop();
  RecoveryJob job{destination, std::move(records), disks_->AllItems()};
  CRecoverProcessWnd window(std::move(job), this);
  return window.Run();
}

}  // namespace salvora
