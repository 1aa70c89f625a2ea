#include "preview/DocumentKind.h"

#include <QFileInfo>
#include <QStringList>

namespace salvora::preview {

DocumentKind KindOfFileName(const std::string& fileName) {
  static const QStringList kWord = {"doc", "dot", "docx", "dotx", "docm", "dotm", "rtf", "odt"};
  static const QStringList kSlides = {"ppt", "pptx", "pptm", "pps", "ppsx", "ppsm", "odp"};
  static const QStringList kSheet = {"xls", "xlsx", "xlsm", "ods", "csv"};
  QString extension = QFileInfo(QString::fromStdString(fileName)).suffix().toLower();
  if (kWord.contains(extension)) return DocumentKind::kWord;
  if (kSlides.contains(extension)) return DocumentKind::kSlides;
  if (kSheet.contains(extension)) return DocumentKind::kSheet;
  return DocumentKind::kUnknown;
}

}  // namespace salvora::preview
