#pragma once
// The search above the file list: a name (a piece of it, or a pattern with
// `*` and `?`), a type group, a size range, a modification date range and
// a state. It narrows whatever the type tree or the folder view shows, says
// how many files and bytes match, and checks them all on request.
#include <QTimer>
#include <QWidget>

#include "results/RecordFilter.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace salvora {

class SearchBar : public QWidget {
  Q_OBJECT

 public:
  explicit SearchBar(QWidget* parent = nullptr);

  // The criteria as typed now; false when a size or a date cannot be read.
  bool Criteria(RecordCriteria& criteria) const;
  // "N of M files match, SIZE", or why the search cannot be applied.
  void ShowMatches(size_t matching, size_t all, uint64_t bytes);
  // Puts the keyboard in the name field, its text selected.
  void FocusName();
  void Retext();

 signals:
  // The criteria changed (typing settles for a moment first).
  void CriteriaChanged();
  void SelectMatchesClicked();

 private:
  QLineEdit* AddField(const char* name);
  QComboBox* AddChoice(const char* name, int items);
  void Changed();

  QLineEdit* name_;
  QComboBox* type_;
  QLineEdit* minSize_;
  QLineEdit* maxSize_;
  QLineEdit* after_;
  QLineEdit* before_;
  QComboBox* state_;
  QLabel* info_;
  QPushButton* selectMatches_;
  QTimer settle_;
};

}  // namespace salvora
