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
  enum Kind { kError = 0, kConfirm = 1, kInformation = 2, kWarning = 3, kQuestion = 4 };
  // What Show returns.
  static constexpr int kOk = 1;
  static constexpr int kCancel = 2;

  // Shows `text` modally over `owner`, starting at width x height (the box
  // grows when the text needs more room); 1 for okbtn, 2 for cancelbtn or
  // the window's close button. Unknown kinds show the error box.
  static int Show(QWidget* owner, int kind, const QString& text, int width, int height);

  CMessageBox(QWidget* owner, int kind, const QString& text);
  int Kind() const { return kind_; }

 private:
  void Retext();

  int kind_;
  QWidget* form_;
  QLabel* textLabel_;
};

}  // namespace salvora
