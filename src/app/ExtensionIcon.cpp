#include "app/ExtensionIcon.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <string>

#include "results/TypeGroups.h"

namespace salvora {
namespace {

struct IconKind {
  const char* name;       // the built-in icon and the kind's key
  const char* themeName;  // the freedesktop icon name
};

const IconKind kKinds[] = {
    {"folder", "folder"},           {"exe", "application-x-executable"},
    {"image", "image-x-generic"},   {"music", "audio-x-generic"},
    {"doc", "x-office-document"},   {"video", "video-x-generic"},
    {"zip", "package-x-generic"},   {"default", "text-x-generic"},
};

const char* ThemeName(const char* kind) {
  for (const IconKind& k : kKinds)
    if (std::string_view(k.name) == kind) return k.themeName;
  return "text-x-generic";
}

QIcon BaseIcon(const char* kind) {
  return QIcon::fromTheme(ThemeName(kind),
                          QIcon(QStringLiteral(":/skin/icons/%1.svg").arg(kind)));
}

// The icon with a warning emblem over its lower right quarter.
QIcon WithWarning(const QIcon& base) {
  QIcon warning = QIcon::fromTheme("dialog-warning", QIcon(":/skin/icons/warning.svg"));
  QIcon marked;
  for (int size : {16, 24, 32, 48}) {
    QPixmap pixmap = base.pixmap(size, size);
    if (pixmap.isNull()) continue;
    QPainter painter(&pixmap);
    int emblem = size * 5 / 8;
    painter.drawPixmap(size - emblem, size - emblem, warning.pixmap(emblem, emblem));
    marked.addPixmap(pixmap);
  }
  return marked;
}

}  // namespace

const char* ExtensionIconName(std::string_view extension) {
  if (extension == "folder") return "folder";
  if (extension == "exe") return "exe";
  if (extension.empty()) return "default";
  std::string group = GroupFolderOfName("x." + std::string(extension));
  if (group == "photo") return "image";
  if (group == "audio") return "music";
  if (group == "document") return "doc";
  if (group == "video") return "video";
  if (group == "archive") return "zip";
  return "default";
}

QIcon ExtensionIcon(std::string_view extension, bool contentOk) {
  static QHash<QString, QIcon> cache;
  const char* kind = ExtensionIconName(extension);
  bool marked = !contentOk && std::string_view(kind) != "folder";
  QString key = QString::fromLatin1(kind) + (marked ? "_error" : "");
  auto found = cache.find(key);
  if (found != cache.end()) return *found;
  QIcon icon = marked ? WithWarning(BaseIcon(kind)) : BaseIcon(kind);
  cache.insert(key, icon);
  return icon;
}

}  // namespace salvora
