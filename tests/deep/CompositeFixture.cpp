#include "deep/CompositeFixture.h"

#include <gtest/gtest.h>

#include "cli/TypeFilter.h"
#include "platform/ErrorCodes.h"
#include "storage/EngineSelection.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

// Like a user, once it has cancelled it answers every later call so too.
struct CancelPoint {
  int percent;
  bool pressed = false;
};

int CancelWhenReached(void* userData, int32_t, int32_t scale, int32_t, uint64_t done,
                      uint64_t total, uint64_t, int32_t) {
  auto* point = static_cast<CancelPoint*>(userData);
  if (point->percent >= 0 && scale == 90 && total != 0 &&
      done * 100 >= total * static_cast<uint64_t>(point->percent))
    point->pressed = true;
  return point->pressed ? kCancelled : 0;
}

}  // namespace

std::unique_ptr<CProfessionalRecovery> OpenDeep(const std::string& image) {
  SelectionResult selection = CreateImageEngine(image, 9, true);
  auto* deep = dynamic_cast<CProfessionalRecovery*>(selection.engine.get());
  if (!deep) return nullptr;
  selection.engine.release();
  return std::unique_ptr<CProfessionalRecovery>(deep);
}

int RunDeepScan(CProfessionalRecovery& engine, int cancelAtPercent) {
  CancelPoint point{cancelAtPercent};
  engine.SetCallbacks(&CancelWhenReached, nullptr, &point, 100);
  return engine.Scan(nullptr);
}

std::vector<FoundFile> ListFiles(CProfessionalRecovery& engine) {
  std::string filter, reason;
  EXPECT_TRUE(BuildTypeFilter("", filter, reason));
  std::vector<FoundRecord> records;
  engine.ListByType(filter, records);
  std::vector<FoundFile> files;
  for (const FoundRecord& record : records) {
    FoundFile file;
    engine.GetRecordPath(record, file.path);
    file.path.append(record.name, RecordNameLength(record.name));
    file.size = record.fileSize;
    file.sector = record.entrySector;
    file.kind = record.engineKind;
    file.record = record;
    files.push_back(file);
  }
  return files;
}

const FoundFile* FindBySuffix(const std::vector<FoundFile>& files, const std::string& suffix) {
  for (const FoundFile& file : files)
    if (file.path.size() >= suffix.size() &&
        file.path.compare(file.path.size() - suffix.size(), suffix.size(), suffix) == 0)
      return &file;
  return nullptr;
}

std::string RecoveredSha256(CProfessionalRecovery& engine, const FoundFile& file,
                            const std::string& folder) {
  static int counter = 0;
  std::string path = folder + "/recovered" + std::to_string(++counter);
  engine.SetCallbacks(nullptr, nullptr, nullptr, 100);
  if (engine.RecoverItem(&file.record, path, 0) != kOk) return "recovery failed";
  return FileSha256(path);
}

}  // namespace salvora::test
