#include "app/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace salvora {

QString ConfigFilePath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.config";
  return base + "/salvora/config.ini";
}

QString LanguagesFolder() {
  // Translators try a language file out of their own folder.
  QString chosen = qEnvironmentVariable("SALVORA_LANGUAGES_DIR");
  if (!chosen.isEmpty()) return chosen;
  QString beside = QCoreApplication::applicationDirPath() + "/Languages";
  if (QFileInfo(beside).isDir()) return beside;
  return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/salvora/Languages");
}

QString DefaultConfigResource() { return QStringLiteral(":/skin/config.ini"); }

}  // namespace salvora
