#pragma once
// The program's modal message box in five kinds, each with its own layout
// and a title from the language file.
#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace salvora {

class CMessageBox : public QDialog {
  Q_OBJECT

 public:
  // kConfirm is the question whose yes writes (onto a scanned disk, over
  // a file): its default answer is cancelbtn.
  enum Kind { kError = 0, kConfirm = 1, kInformation = 2, kWarning = 3, kQuestion = 4 };
  // What Show returns.
  static constexpr int kOk = 1;
  static constexpr int kCancel = 2;
  // Closed without an answer because the program is ending.
  static constexpr int kDismissed = 0;

  // Shows `text` modally over `owner`, starting at width x height (the box
  // grows when the text needs more room); 1 for okbtn, 2 for cancelbtn or
  // the window's close button, 0 when dismissed. Unknown kinds show the
  // error box.
  static int Show(QWidget* owner, int kind, const QString& text, int width, int height);

  CMessageBox(QWidget* owner, int kind, const QString& text);
  int Kind() const { return kind_; }
  // Closes the box without an answer (Show returns kDismissed).
  void Dismiss();

 private:
  void Retext();

  int kind_;
  QWidget* form_;
  QLabel* textLabel_;
  bool dismissed_ = false;
};

}  // namespace salvora
