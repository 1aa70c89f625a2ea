#include "app/LanguageStore.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "app/AppPaths.h"

namespace salvora {
namespace {

constexpr char kEnglish[] = "English";

std::string ReadText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

// Texts are one line each in their file; "\n" stands for a line break.
QString FromUtf8(const std::string& text) {
  return QString::fromStdString(text).replace(QLatin1String("\\n"), QLatin1String("\n"));
}

// A value of the user's config.ini, or of the built-in defaults when the
// user's file does not have it.
std::string ConfigValue(const IniDocument& user, const IniDocument& defaults, const char* section,
                        const char* key) {
  std::string value = user.Value(section, key);
  return value.empty() ? defaults.Value(section, key) : value;
}

// The arguments as plain text after the message, for a format that cannot
// be used.
QString AppendArguments(QString text, const std::vector<MessageArg>& args) {
  for (const MessageArg& arg : args)
    text += " " + (arg.isText ? FromUtf8(arg.text) : QString::number(arg.number));
  return text;
}

}  // namespace

LanguageStore& LanguageStore::Instance() {
  static LanguageStore* store = [] {
    auto* created = new LanguageStore;
    created->Load();
    return created;
  }();
  return *store;
}

IniDocument LanguageStore::ReadLanguage(const QString& name) const {
  return IniDocument::Parse(ReadText(LanguagesFolder() + "/" + name + ".ini"));
}

void LanguageStore::Load() {
  IniDocument user = IniDocument::Parse(ReadText(ConfigFilePath()));
  IniDocument defaults = IniDocument::Parse(ReadText(DefaultConfigResource()));
  current_ = FromUtf8(ConfigValue(user, defaults, "DefaultLanguage", "Default")).left(64);
  // A name is a file name inside the language folder, never a path.
  if (current_.isEmpty() || current_.contains('/') || current_.startsWith('.'))
    current_ = kEnglish;
  languages_.clear();
  const IniSection* offered = user.Find("Languages");
  if (!offered) offered = defaults.Find("Languages");
  if (offered)
    for (const auto& [file, menu] : offered->pairs)
      languages_.push_back({FromUtf8(file), FromUtf8(menu)});
  texts_ = ReadLanguage(current_);
  english_ = current_ == kEnglish ? texts_ : ReadLanguage(kEnglish);
}

void LanguageStore::SetLanguage(const QString& fileName) {
  QString path = ConfigFilePath();
  QDir().mkpath(QFileInfo(path).absolutePath());
  std::string updated =
      WithIniValue(ReadText(path), "DefaultLanguage", "Default", fileName.toStdString());
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly)) {
    file.write(updated.data(), static_cast<qint64>(updated.size()));
    file.commit();
  }
  Load();
  emit Changed();
}

QString LanguageStore::Message(const char* key) const {
  return FromUtf8(texts_.Value("Messages", key));
}

QString LanguageStore::Format(const char* key, const std::vector<MessageArg>& args) const {
  return FormatIn("Messages", key, args);
}

QString LanguageStore::FormatIn(const char* section, const char* key,
                                const std::vector<MessageArg>& args) const {
  std::string translated = texts_.Value(section, key);
  if (auto text = FormatChecked(translated, args)) return FromUtf8(*text);
  std::string english = english_.Value(section, key);
  if (auto text = FormatChecked(english, args)) return FromUtf8(*text);
  return AppendArguments(FromUtf8(translated.empty() ? english : translated), args);
}

QString LanguageStore::Text(const QString& section, const char* key) const {
  return FromUtf8(texts_.Value(section.toStdString(), key));
}

const IniPairs& LanguageStore::Section(const QString& name) const {
  static const IniPairs kNone;
  const IniSection* section = texts_.Find(name.toStdString());
  return section ? section->pairs : kNone;
}

}  // namespace salvora
