#include "app/PreviewWnd.h"

#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <utility>

#include "app/FileListModel.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/PreviewSession.h"
#include "app/RecordText.h"
#include "app/Skin.h"
#include "results/TypeGroups.h"

namespace salvora {

CPreviewWnd::CPreviewWnd(CMainWnd& main, PreviewSession& previews, int row)
    : QDialog(&main), main_(main), previews_(previews) {
  form_ = LoadSkin("PreviewWnd", this);
  edit_ = Bind<QTextBrowser>(form_, "PreviewEdit");
  fileName_ = Bind<QLabel>(form_, "FileName");
  fileName_->setTextFormat(Qt::PlainText);  // a found name is never markup
  connect(Bind<QPushButton>(form_, "PrevBtn"), &QPushButton::clicked, this, [this] { Step(-1); });
  connect(Bind<QPushButton>(form_, "NextBtn"), &QPushButton::clicked, this, [this] { Step(1); });
  connect(Bind<QPushButton>(form_, "CancelBtn"), &QPushButton::clicked, this, &QDialog::reject);
  connect(Bind<QPushButton>(form_, "RecoveryBtn"), &QPushButton::clicked, this,
          &CPreviewWnd::RecoverShown);
  connect(&LanguageStore::Instance(), &LanguageStore::Changed, this, &CPreviewWnd::Retext);
  Retext();
  resize(sizeHint().expandedTo(QSize(600, 500)));
  ShowRow(row);
}

void CPreviewWnd::Retext() {
  ApplyTexts(form_);
  // The arrows say nothing to a screen reader; their names do.
  for (auto [button, key] : {std::pair{"PrevBtn", "MSG2602"}, std::pair{"NextBtn", "MSG2603"}}) {
    auto* arrow = Bind<QPushButton>(form_, button);
    arrow->setAccessibleName(Msg(key));
    arrow->setToolTip(Msg(key));
  }
}

int CPreviewWnd::PhotoRowFrom(CMainWnd& main, int row, int direction) {
  FileListModel& files = main.Files();
  for (int at = row + direction; at >= 0 && at < files.rowCount(); at += direction) {
    const FoundRecord& record = files.RecordAt(at);
    if (!record.isFolder && IsImageExtension(LowerExtension(RecordName(record).toStdString())))
      return at;
  }
  return -1;
}

void CPreviewWnd::ShowRow(int row) {
  if (row < 0 || row >= main_.Files().rowCount()) return;
  row_ = row;
  record_ = main_.Files().RecordAt(row);
  fileName_->setText(RecordName(record_));
  previews_.ShowIn(edit_, record_, main_.EngineOf(record_.sourceTag),
                   LanguageStore::Instance().Text("PreviewWnd", "PictureFailed"));
  Bind<QPushButton>(form_, "PrevBtn")->setEnabled(PhotoRowFrom(main_, row_, -1) >= 0);
  Bind<QPushButton>(form_, "NextBtn")->setEnabled(PhotoRowFrom(main_, row_, 1) >= 0);
}

void CPreviewWnd::Step(int direction) {
  int row = PhotoRowFrom(main_, row_, direction);
  if (row >= 0) ShowRow(row);
}

void CPreviewWnd::RecoverShown() {
  QString chosen = QFileDialog::getExistingDirectory(
      this, LanguageStore::Instance().Text("MainWnd", "RecoverFolderTitle"));
  if (chosen.isEmpty()) return;
  while (chosen.size() > 1 && chosen.endsWith('/')) chosen.chop(1);
  main_.RecoverRecords(chosen.toStdString(), {record_});
}

}  // namespace salvora
