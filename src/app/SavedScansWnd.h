#pragma once
// The saved deep scans: the user picks one to resume, which the main
// window then scans again in deep mode, or to forget with its results.
#include <QDialog>
#include <QModelIndex>

class QPushButton;
class QTreeView;

namespace salvora {

class CMainWnd;
class SavedScanModel;
struct ScanHistoryEntry;

class CSavedScansWnd : public QDialog {
  Q_OBJECT

 public:
  explicit CSavedScansWnd(CMainWnd* main);
  SavedScanModel& Scans() { return *scans_; }
  // The selected scan's row, -1 when none.
  int SelectedRow() const;

  // Shows the dialog; a chosen scan is resumed once it has closed.
  static void Run(CMainWnd* main);

 private:
  void Resume();
  void Forget();
  void UpdateButtons();
  void Retext();

  CMainWnd* main_;
  QWidget* form_;
  SavedScanModel* scans_;
  QTreeView* list_;
  QPushButton* resume_;
  QPushButton* forget_;
  int chosenRow_ = -1;
};

// The disk list's row that reads what `entry` scanned; an image file that
// is not listed yet is added. Invalid when the source is not there.
QModelIndex SourceRowOf(CMainWnd& main, const ScanHistoryEntry& entry);

}  // namespace salvora
