#pragma once
// The larger preview window: one found file at a time, previous and next
// through the photos of the list, and recovery of the file shown.
#include <QDialog>

#include "results/FoundRecord.h"

class QLabel;
class QTextBrowser;

namespace salvora {

class CMainWnd;
class PreviewSession;

class CPreviewWnd : public QDialog {
  Q_OBJECT

 public:
  // Shows the file of `row` of the main window's file list.
  CPreviewWnd(CMainWnd& main, PreviewSession& previews, int row);
  int Row() const { return row_; }

  // The next row before (-1) or after (+1) `row` whose file is a photo;
  // -1 when there is none.
  static int PhotoRowFrom(CMainWnd& main, int row, int direction);

 private:
  void ShowRow(int row);
  void Step(int direction);
  void RecoverShown();
  void Retext();

  CMainWnd& main_;
  PreviewSession& previews_;
  int row_ = -1;
  FoundRecord record_{};
  QWidget* form_;
  QTextBrowser* edit_;
  QLabel* fileName_;
};

}  // namespace salvora
