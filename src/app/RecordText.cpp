#include "app/RecordText.h"

#include "results/RecoveryNames.h"

#include <cstring>
#include <ctime>

#include "platform/Clock.h"
#include "results/TypeGroups.h"
#include "storage/FormatSize.h"

namespace salvora {
namespace {

std::string_view NameOf(const FoundRecord& record) {
  return std::string_view(record.name, strnlen(record.name, kRecordNameBytes));
}

}  // namespace

QString RecordName(const FoundRecord& record) {
  // Made safe as the recovered file will be named: no control or direction
  // character can disguise the name's extension in a list.
  return QString::fromStdString(SafeRecordName(record));
}

QString RecordSizeText(const FoundRecord& record, const QString& folderWord) {
  if (record.isFolder) return folderWord;
  return QString::fromStdString(FormatSize(static_cast<int64_t>(record.fileSize)));
}

QString RecordTypeText(const FoundRecord& record) {
  return QString::fromStdString(LowerExtension(NameOf(record))).toUpper();
}

QString FileTimeText(uint64_t fileTime) {
  if (fileTime == 0) return QStringLiteral("    ----    ");
  // Shown as the volume stored it, as the command line shows it: FAT keeps
  // local times, and converting those again would shift them.
  std::time_t when = static_cast<std::time_t>(UnixFromFileTime(fileTime));
  std::tm parts{};
  if (!gmtime_r(&when, &parts)) return QStringLiteral("    ----    ");
  return QString::asprintf("%d-%d-%d %02d:%02d:%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                           parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
}

}  // namespace salvora
