#pragma once
// The texts of every window and message in the language the user chose.
// One per process, used on the window thread. The choice lives in
// config.ini ("DefaultLanguage"/"Default"); the offered languages are the
// pairs of its "Languages" section, whose key is the language file's name
// (without ".ini") and whose value the text of its menu entry.
#include <QObject>
#include <QString>
#include <vector>

#include "app/IniFile.h"
#include "app/MessageFormat.h"

namespace salvora {

struct LanguageChoice {
  QString fileName;  // "German" for Languages/German.ini
  QString menuText;  // "Deutsch"
};

class LanguageStore : public QObject {
  Q_OBJECT

 public:
  static LanguageStore& Instance();

  // Reads config.ini and the chosen language file again. A missing file or
  // key leaves texts empty; nothing fails.
  void Load();
  QString CurrentLanguage() const { return current_; }
  const std::vector<LanguageChoice>& Languages() const { return languages_; }
  // Writes the choice to config.ini, reloads, and tells every window.
  void SetLanguage(const QString& fileName);

  // A text of section "Messages"; empty when missing.
  QString Message(const char* key) const;
  // A message used as a format. A translation whose placeholders do not
  // match falls back to the English text, and that failing, to the text
  // followed by the arguments, so a bad translation never garbles output.
  QString Format(const char* key, const std::vector<MessageArg>& args) const;
  // The same for a text of a window's section.
  QString FormatIn(const char* section, const char* key, const std::vector<MessageArg>& args) const;
  // The key/text pairs of a window's section.
  const IniPairs& Section(const QString& name) const;
  // One text of a window's section; empty when missing.
  QString Text(const QString& section, const char* key) const;

 signals:
  // The language changed: every window re-texts its controls.
  void Changed();

 private:
  LanguageStore() = default;
  IniDocument ReadLanguage(const QString& name) const;

  QString current_;
  std::vector<LanguageChoice> languages_;
  IniDocument texts_;
  IniDocument english_;
};

// Shorthands for the process's store.
inline QString Msg(const char* key) { return LanguageStore::Instance().Message(key); }
inline QString MsgFormat(const char* key, const std::vector<MessageArg>& args) {
  return LanguageStore::Instance().Format(key, args);
}

}  // namespace salvora
