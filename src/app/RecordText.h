#pragma once
// The texts of a found file's cells in the results list.
#include <QString>
#include <cstdint>

#include "results/FoundRecord.h"

namespace salvora {

QString RecordName(const FoundRecord& record);
// FormatSize of the file's size, or `folderWord` for a folder.
QString RecordSizeText(const FoundRecord& record, const QString& folderWord);
// The type column: the extension in capitals ("JPG"), empty without one.
QString RecordTypeText(const FoundRecord& record);
// A stored FILETIME as "year-month-day hh:mm:ss", or "    ----    " when
// the volume kept none.
QString FileTimeText(uint64_t fileTime);

}  // namespace salvora
