#include "support/FaultSweep.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/ErrorCodes.h"
#include "results/TypeGroups.h"
#include "storage/EngineSelection.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

// Reads a faulty run may make beyond the sound run's: passing over what
// the disk will not give costs a few reads; asking for it again for every
// entry or record it holds would cost thousands.
uint64_t ReadBound(uint64_t soundReads) { return 4 * soundReads + 64; }

constexpr size_t kShortRead = 700;  // not a whole sector

using TransferFailures = std::vector<std::pair<std::string, int>>;

int OnTransfer(void* userData, int32_t percent, int32_t, int32_t errorCode, const char* path) {
  if (percent == 100 && errorCode != kOk)
    static_cast<TransferFailures*>(userData)->push_back({path ? path : "", errorCode});
  return 0;
}

std::string KeyOf(const FoundRecord& record) {
  return std::to_string(record.engineKind) + ":" +
         std::string(record.name, RecordNameLength(record.name)) + "@" +
         std::to_string(record.entrySector);
}

FaultPlan Plan(uint64_t failEvery, uint64_t failFrom, size_t shortReadBytes) {
  FaultPlan plan;
  plan.failEvery = failEvery;
  plan.failFrom = failFrom;
  plan.shortReadBytes = shortReadBytes;
  return plan;
}

bool Varies(const SweepTarget& target, const std::string& key) {
  bool quick = key.rfind(std::to_string(kQuickNtfs) + ":", 0) == 0 ||
               key.rfind(std::to_string(kQuickFat) + ":", 0) == 0 ||
               key.rfind(std::to_string(kQuickExfat) + ":", 0) == 0;
  return target.deep && !quick;
}

void RecoverAll(IFileRecoveryParse& engine, const TempDir& out, SweepRun& run) {
  std::vector<FoundRecord> records;
  engine.ListByType(KnownExtensions() + "|.other", records);
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].isFolder) continue;
    TransferFailures failures;
    engine.SetCallbacks(nullptr, &OnTransfer, &failures, 100);
    std::string path = out / std::to_string(i);
    SweptFile& file = run.files[KeyOf(records[i])];
    file.size = records[i].fileSize;
    file.recoverResult = engine.RecoverItem(&records[i], path, 0);
    file.failureReported = !failures.empty();
    file.bytes = ReadFile(path);
  }
}

// Every file the sound run recovered is recovered alike, or its failure is
// told; no file is recovered with other bytes and called a success.
void CheckRecoveries(const SweepRun& sound, const SweepRun& run) {
  for (const auto& [key, file] : run.files) {
    auto before = sound.files.find(key);
    bool comparable = before != sound.files.end() && before->second.recoverResult == kOk &&
                      before->second.size == file.size;
    if (file.recoverResult == kOk) {
      if (comparable) {
        EXPECT_TRUE(file.bytes == before->second.bytes) << key;
      }
    } else if (file.recoverResult != kCancelled) {
      bool asBefore =
          before != sound.files.end() && before->second.recoverResult == file.recoverResult;
      EXPECT_TRUE(file.failureReported || asBefore)
          << key << " failed with " << file.recoverResult << " untold";
    }
  }
}

// A run is measured against the sound run with the same read lengths.
void CheckRun(const SweepTarget& target, const SweepRun& sound, const SweepRun& run) {
  EXPECT_LE(run.reads, ReadBound(sound.reads));
  if (!run.opened) {
    EXPECT_GT(run.failures, 0u) << "a sound disk always gets an engine";
    return;
  }
  if (run.scanResult == kOk) {
    // Success claims that nothing was lost.
    for (const auto& [key, file] : sound.files) {
      auto found = run.files.find(key);
      ASSERT_NE(found, run.files.end()) << key << " lost by a scan that reported success";
      EXPECT_EQ(found->second.size, file.size) << key;
    }
  } else {
    EXPECT_EQ(run.scanResult, kReadFault);
  }
  for (const auto& [key, file] : run.files) {
    if (!Varies(target, key)) {
      EXPECT_TRUE(sound.files.count(key)) << key << " invented";
    }
  }
  CheckRecoveries(sound, run);
}

// What a scan found before the disk died is kept: a disk that dies later
// yields at least the same files.
void CheckKept(const SweepTarget& target, const SweepRun& earlier, const SweepRun& later) {
  for (const auto& [key, file] : earlier.files) {
    if (!Varies(target, key)) {
      EXPECT_TRUE(later.files.count(key)) << key << " not kept";
    }
  }
}

}  // namespace

std::vector<std::pair<std::string, int>> RecoverNotingFailures(IFileRecoveryParse& engine,
                                                               const FoundRecord& record,
                                                               const std::string& target) {
  TransferFailures failures;
  engine.SetCallbacks(nullptr, &OnTransfer, &failures, 100);
  engine.RecoverItem(&record, target, 0);
  return failures;
}

SweepRun RunUnderFaults(const SweepTarget& target, const FaultPlan& plan) {
  SweepRun run;
  ScopedDataDir data;
  TempDir out;
  ReadFaults faults(plan);
  {
    SelectionResult selection = CreateImageEngine(target.image, 1, target.deep);
    if (selection.engine) {
      run.opened = true;
      run.scanResult = selection.engine->Scan(nullptr);
      // What a scan that met unreadable sectors found is still worth having.
      if (run.scanResult == kOk || run.scanResult == kReadFault)
        RecoverAll(*selection.engine, out, run);
    }
  }
  run.reads = faults.Reads();
  run.failures = faults.Failures();
  return run;
}

SweepRun SweepReadFaults(const SweepTarget& target) {
  SweepRun sound = RunUnderFaults(target, Plan(0, 0, 0));
  EXPECT_TRUE(sound.opened);
  EXPECT_EQ(sound.scanResult, kOk);
  EXPECT_FALSE(sound.files.empty());

  SweepRun shortReads = RunUnderFaults(target, Plan(0, 0, kShortRead));
  {
    SCOPED_TRACE("short reads");
    CheckRun(target, shortReads, shortReads);
    EXPECT_EQ(shortReads.scanResult, kOk);
    CheckKept(target, sound, shortReads);
    CheckRecoveries(sound, shortReads);
  }
  for (uint64_t every : {1, 2, 3, 5, 8, 13, 34, 89}) {
    SCOPED_TRACE("every read " + std::to_string(every) + " fails");
    CheckRun(target, sound, RunUnderFaults(target, Plan(every, 0, 0)));
  }
  {
    SCOPED_TRACE("every read 7 fails, reads cut short");
    CheckRun(target, shortReads, RunUnderFaults(target, Plan(7, 0, kShortRead)));
  }
  SweepRun earlier;
  for (uint64_t part = 1; part <= 5; ++part) {
    uint64_t from = sound.reads * part / 6 + 1;
    SCOPED_TRACE("the disk dies at read " + std::to_string(from) + " of " +
                 std::to_string(sound.reads));
    SweepRun run = RunUnderFaults(target, Plan(0, from, 0));
    CheckRun(target, sound, run);
    if (part > 1) CheckKept(target, earlier, run);
    earlier = std::move(run);
  }
  return sound;
}

}  // namespace salvora::test
