#pragma once
// The main window: leads the user from the choice of what to do, through
// the choice of a source and of file types, to the found files and their
// recovery, or to an image of a disk. It owns the disk list's items and,
// through them, the engines of the last scans.
#include <QMainWindow>
#include <QPersistentModelIndex>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "app/DiskListItem.h"
#include "app/ResultSet.h"
#include "storage/DeviceWatcher.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QModelIndex;
class QPushButton;
class QSocketNotifier;
class QStackedWidget;
class QTextBrowser;
class QToolButton;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace salvora {

class CScanProcessWnd;
class DiskListLoader;
class DiskListModel;
struct DiskListSnapshot;
class FileListModel;
class FileTypeChoice;
class FolderTreeModel;
class OrderlyExit;
class PreviewSession;
class SearchBar;
class TypeTreePanel;

class CMainWnd : public QMainWindow {
  Q_OBJECT

 public:
  enum Page { kModePage, kDiskPage, kTypePage, kResultPage };
  enum WorkMode { kRecovery, kImaging };

  explicit CMainWnd(QWidget* parent = nullptr);
  ~CMainWnd() override;

  // Arguments of a start (or of a later start, handed over): image files
  // are added to the disk list and the window comes to the front.
  void TakeArguments(const QStringList& arguments);

  // Adds an image file as a source; returns its row.
  QModelIndex AddImageSource(const std::string& path);
  // Reads the disk list again and waits for it, the window drawing
  // meanwhile; RequestDiskList does not wait.
  void RefillDiskList();
  void RequestDiskList();

  int CurrentPage() const;
  int ScanMode() const { return scanMode_; }
  DiskListModel& Disks() { return *disks_; }
  ResultSet& Results() { return results_; }
  FileListModel& Files() { return *files_; }
  TypeTreePanel& TypeTree() { return *typeTree_; }
  // After imaging: the deep recovery of the new image, from the type page.
  void OfferImageForScan(const std::string& imagePath);
  // A deep scan of the source at `row`, which continues a saved scan of it.
  void ResumeScanOf(const QModelIndex& row);
  // Starts the recovery of the checked files into `destination`, asking
  // first when it lies on a scanned source; returns the recovery's close
  // code, or 0 when it did not start.
  int RecoverInto(const std::string& destination);
  // The same for the given records (the preview window's one file).
  int RecoverRecords(const std::string& destination, std::vector<FoundRecord> records);
  // The engine that found records of this source tag; null when none.
  IFileRecoveryParse* EngineOf(uint16_t sourceTag) const;
  PreviewSession& Previews() { return *previews_; }
  // Ends running work and then the program, on a signal or a close.
  OrderlyExit& Exit() { return *exit_; }
  // Opens the larger preview window on a row of the file list.
  void OpenPreviewWindow(int row);

 private:
  // Building the window.
  void BindControls();
  void BindModes();
  void BindDiskList();
  void BindResults();
  void BindCommands();
  void WatchDevices();
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Closing while work runs asks, as the work's own window does.
  void closeEvent(QCloseEvent* event) override;

  // Pages and modes.
  void ChooseMode(int workMode, int scanMode);
  void ShowPage(int page);
  void GoBack();
  void GoNext();
  void Retext();
  void ApplyPageTexts();

  // The disk list.
  void ApplyDiskList(const DiskListSnapshot& snapshot);
  void OnDiskSelected(const QModelIndex& index);
  void OnDiskActivated(const QModelIndex& index);
  void FillInformation(const QModelIndex& index);
  void LoadImage();
  void OnDevicesReadable();
  void OnDeviceTimer();
  void ScheduleDeviceRefresh();
  void SelectSourceRow(const QModelIndex& index);
  QModelIndex SelectedDiskRow() const;

  // Scanning and the results.
  void Scan();
  // Tells which entries were skipped and which were not read in full.
  void ReportScanGaps(const CScanProcessWnd& window);
  void CollectTypes();
  // The results page for the files the last collection grouped.
  void ShowResults();
  void OnTypeNodeSelected(QTreeWidgetItem* node);
  void OnFileRowSelected(const QModelIndex& index);
  void OnFileRowActivated(const QModelIndex& index);
  void ShowFileMenu(const QPoint& at);
  void OnFolderSelected(const QModelIndex& index);
  void OnSelectAll(int state);
  void OnHeaderClicked(int column);
  void OnChecksChanged();
  void UpdateSelectAll();
  void UpdateSummary();
  void Recover();
  std::vector<DiskListItem*> ScannedSources() const;

  // The search above the file list.
  void BindSearch();
  void OnSearchChanged();
  void UpdateSearchInfo();
  QString SourceName(const DiskListItem& item) const;

  QWidget* form_;
  QStackedWidget* tabPage_;
  QTreeView* diskList_;
  QTreeView* fileList_;
  QTreeView* diskTree_;
  QTreeWidget* typeTreeWidget_;
  QCheckBox* selectAll_;
  QLabel* selectedFileInfo_;
  QLabel* txt1_;
  QLabel* txt2_;
  QLabel* mainInfo_;
  QTextBrowser* previewEdit_;
  QToolButton* tabScan_;
  QToolButton* tabFileType_;
  QToolButton* tabRecover_;
  QPushButton* btnScan_;
  QPushButton* btnAdvanceScan_;
  QPushButton* btnLoadImage_;
  QPushButton* btnRecover_;
  QPushButton* btnCreateImage_;

  std::unique_ptr<DiskListModel> disks_;
  DiskListLoader* diskLoader_ = nullptr;
  ResultSet results_;
  std::unique_ptr<FileListModel> files_;
  std::unique_ptr<FolderTreeModel> folders_;
  FileTypeChoice* choice_ = nullptr;
  TypeTreePanel* typeTree_ = nullptr;
  PreviewSession* previews_ = nullptr;
  OrderlyExit* exit_ = nullptr;
  SearchBar* searchBar_ = nullptr;

  int workMode_ = kRecovery;
  int scanMode_ = 1;
  bool sourceSelected_ = false;
  bool typeScan_ = false;
  bool scanning_ = false;
  // The items the last scan used, by key: a refresh of the list frees the
  // items of entries that went, so pointers to them cannot be kept.
  std::vector<uint16_t> lastScanned_;
  std::vector<std::string> lastRunFolders_;
  // An image handed over by a start, to select once a mode is chosen.
  QPersistentModelIndex handedImage_;
  bool updatingSelectAll_ = false;

  DeviceWatcher watcher_;
  QSocketNotifier* deviceNotifier_ = nullptr;
  QTimer deviceTimer_;
};

}  // namespace salvora
