#pragma once
// The file-type page: which kinds of files the user wants listed. Each
// option names its extensions ("jpg|jpeg"); a group's first option checks
// or unchecks the whole group; the chosen extensions, each pointing at the
// option that chose it, make the type filter of the collection.
#include <QObject>
#include <QString>
#include <map>
#include <string>
#include <vector>

class QAbstractButton;
class QCheckBox;
class QWidget;

namespace salvora {

class FileTypeChoice : public QObject {
  Q_OBJECT

 public:
  // Binds the options of the page inside `form`.
  explicit FileTypeChoice(QWidget* form);

  // "*.jpg|*.jpeg|..." turned into the collection's match pattern; empty
  // when nothing is chosen.
  std::string Filter() const;
  // The option that chose `extension`, else null.
  QCheckBox* OptionFor(const std::string& extension) const;
  QCheckBox* OtherOption() const { return otherItem_; }
  // The group an option belongs to ("FileTypePhoto" ...).
  QString GroupOf(const QCheckBox* option) const;
  // The option's text up to the blank before its "(" ("JPG/JPEG").
  static QString ShortLabel(const QCheckBox* option);

  const std::map<std::string, QCheckBox*>& Chosen() const { return chosen_; }

 public:
  struct GroupControls;

 private:
  void BindGroup(QWidget* form, const GroupControls& controls);
  void OnItemToggled(QCheckBox* option, bool checked);

  std::map<std::string, QCheckBox*> chosen_;
  std::map<const QCheckBox*, QString> groupOfOption_;
  QCheckBox* otherItem_ = nullptr;
};

// The collection's match pattern of a list of extensions, the way the
// store's filters read it: "*.a|*.b", every '*' a '.', and the characters
// that would mean something in a pattern escaped.
std::string TypeFilterPattern(const std::vector<std::string>& extensions);

}  // namespace salvora
