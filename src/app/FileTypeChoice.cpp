#include "app/FileTypeChoice.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QToolButton>
#include <cstring>

#include "app/Skin.h"

namespace salvora {
namespace {

}  // namespace

struct FileTypeChoice::GroupControls {
  const char* group;
  const char* groupOption;
  const char* button;
};

namespace {

const FileTypeChoice::GroupControls kGroups[] = {
    {"FileTypePhoto", "OptPhotoFile", "BtnPhoto"}, {"FileTypeAudio", "OptAudioFile", "BtnAudio"},
    {"FileTypeVideo", "OptVideoFile", "BtnVideo"}, {"FileTypeOffice", "OptOfficeFile", "BtnOffice"},
    {"FileTypeZip", "OptZipFile", "BtnZip"},       {"FileTypeOther", "OptOtherFile", "BtnOther"},
};

std::vector<std::string> ExtensionsOf(const QCheckBox* option) {
  std::vector<std::string> extensions;
  for (const QString& part : option->property("extensions").toString().split('|', Qt::SkipEmptyParts))
    extensions.push_back(part.toLower().toStdString());
  return extensions;
}

}  // namespace

std::string TypeFilterPattern(const std::vector<std::string>& extensions) {
  std::string joined;
  for (const std::string& extension : extensions) joined += (joined.empty() ? "*." : "|*.") + extension;
  std::string pattern;
  for (size_t i = 0; i < joined.size(); ++i) {
    char c = joined[i];
    if (c == '*') {
      if (!pattern.empty() && pattern.back() == '\\') continue;
      pattern += '.';
    } else {
      if (std::strchr(".^$+?{}[]", c)) pattern += '\\';
      pattern += c;
    }
  }
  return pattern;
}

FileTypeChoice::FileTypeChoice(QWidget* form) : QObject(form) {
  otherItem_ = Bind<QCheckBox>(form, "OptOtherFileItem");
  for (const GroupControls& g : kGroups) BindGroup(form, g);
}

void FileTypeChoice::BindGroup(QWidget* form, const GroupControls& controls) {
  auto* group = Bind<QGroupBox>(form, controls.group);
  auto* groupOption = Bind<QCheckBox>(form, controls.groupOption);
  std::vector<QCheckBox*> items;
  for (QCheckBox* option : group->findChildren<QCheckBox*>()) {
    if (option == groupOption) continue;
    items.push_back(option);
    groupOfOption_[option] = controls.group;
    connect(option, &QCheckBox::toggled, this,
            [this, option](bool checked) { OnItemToggled(option, checked); });
    if (option->isChecked()) OnItemToggled(option, true);
  }
  connect(groupOption, &QCheckBox::clicked, this, [items](bool checked) {
    for (QCheckBox* item : items) item->setChecked(checked);
  });
  auto* button = Bind<QAbstractButton>(form, controls.button);
  connect(button, &QAbstractButton::clicked, groupOption, [groupOption, button] {
    groupOption->click();
    button->setChecked(groupOption->isChecked());
  });
  connect(groupOption, &QCheckBox::toggled, button, &QAbstractButton::setChecked);
}

void FileTypeChoice::OnItemToggled(QCheckBox* option, bool checked) {
  for (const std::string& extension : ExtensionsOf(option)) {
    if (checked) {
      chosen_[extension] = option;
    } else if (chosen_.count(extension) && chosen_[extension] == option) {
      chosen_.erase(extension);
    }
  }
}

std::string FileTypeChoice::Filter() const {
  std::vector<std::string> extensions;
  for (const auto& [extension, option] : chosen_) extensions.push_back(extension);
  return TypeFilterPattern(extensions);
}

QCheckBox* FileTypeChoice::OptionFor(const std::string& extension) const {
  auto found = chosen_.find(extension);
  return found == chosen_.end() ? nullptr : found->second;
}

QString FileTypeChoice::GroupOf(const QCheckBox* option) const {
  auto found = groupOfOption_.find(option);
  return found == groupOfOption_.end() ? QString() : found->second;
}

QString FileTypeChoice::ShortLabel(const QCheckBox* option) {
  QString text = option->text();
  int open = text.indexOf('(');
  if (open < 0) return text.trimmed();
  return text.left(open).trimmed();
}

}  // namespace salvora
