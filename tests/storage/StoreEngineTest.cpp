#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/DataFolders.h"
#include "platform/ErrorCodes.h"
#include "results/ScanHistory.h"
#include "storage/StoreEngine.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

// An engine whose files are strings kept by first cluster; it fills its
// store by hand so that recovery and preview can be tested alone.
class FakeEngine final : public StoreEngine {
 public:
  int OpenImage(const std::string&, uint16_t) override { return 0; }
  int OpenDisk(uint32_t, uint64_t, uint64_t, uint16_t) override { return 0; }
  int Scan(const char*) override {
    ScanHistory::Instance().NewRunFolder();
    return OpenStoreNamed("Fast_0_fake");
  }
  uint32_t Add(const char* name, bool folder, uint32_t cluster, uint32_t parent, uint32_t depth,
               const std::string& bytes = "") {
    FoundRecord* r = store_.AppendRecord();
    r->isFolder = folder;
    r->contentOk = 1;
    r->firstCluster = cluster;
    r->recordNo = store_.GetRecordCount();
    r->fileSize = bytes.size();
    SetRecordName(r->name, name);
    store_.AddRelation(parent, depth, r->recordNo, cluster, folder ? name : nullptr);
    contents_[cluster] = bytes;
    return r->recordNo;
  }
  FoundRecord Get(uint32_t recordNo) {
    store_.Flush();
    FoundRecord r;
    store_.ReadRecord(recordNo, r);
    return r;
  }
  int failWith = 0;

 protected:
  int CopyFileData(const FoundRecord& record, DataSink& sink) override {
    if (failWith) return failWith;
    const std::string& bytes = contents_[uint32_t{record.firstCluster}];
    // Pieces of 7 bytes, more than the size: the sink must trim.
    for (size_t at = 0; !sink.Full(); at += 7) {
      std::string piece = (bytes + std::string(7, 'Z')).substr(at, 7);
      if (int r = sink.Write(piece.data(), piece.size())) return r;
    }
    return 0;
  }
  uint64_t RootFolderKey() const override { return FolderKey(2, 0); }

 private:
  std::map<uint32_t, std::string> contents_;
};

class StoreEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(engine.Scan(nullptr), 0);
    engine.Add("top.txt", false, 10, 2, 0, "top file bytes");
    docs = engine.Add("Docs", true, 20, 2, 0);
    engine.Add("a.txt", false, 21, 20, 1, "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
    engine.Add("../evil", false, 22, 20, 1, "evil");
    engine.Add("Inner", true, 30, 20, 1);
    engine.Add("b.jpg", false, 31, 30, 2, "jpeg bytes");
  }
  test::ScopedDataDir data;
  test::TempDir out;
  FakeEngine engine;
  uint32_t docs = 0;
};

TEST_F(StoreEngineTest, FolderRecoveryBringsTheWholeTreeAtAnyDestinationDepth) {
  std::string destination = out / "deep/er/Docs";
  FoundRecord folder = engine.Get(docs);
  ASSERT_EQ(engine.RecoverItem(&folder, destination, 0), 0);
  EXPECT_EQ(test::ReadFile(destination + "/a.txt"), "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
  EXPECT_EQ(test::ReadFile(destination + "/.._evil"), "evil");
  EXPECT_EQ(test::ReadFile(destination + "/Inner/b.jpg"), "jpeg bytes");
  EXPECT_FALSE(fs::exists(out / "deep/evil"));
}

TEST_F(StoreEngineTest, RecoveryNeverOverwritesAndReportsFailures) {
  std::string target = out / "top.txt";
  test::WriteFile(target, "precious");
  FoundRecord top = engine.Get(1);
  EXPECT_EQ(engine.RecoverItem(&top, target, 0), kAlreadyExists);
  EXPECT_EQ(test::ReadFile(target), "precious");

  struct Calls {
    int lastError = 0, finals = 0;
  } calls;
  engine.SetCallbacks(
      nullptr,
      [](void* user, int32_t percent, int32_t, int32_t error, const char*) {
        auto* c = static_cast<Calls*>(user);
        if (percent == 100) ++c->finals;
        c->lastError = error;
        return 0;
      },
      &calls, 100);
  engine.failWith = kReadFault;
  EXPECT_EQ(engine.RecoverItem(&top, out / "other.txt", 0), kReadFault);
  EXPECT_EQ(calls.lastError, kReadFault);
  engine.failWith = 0;
  EXPECT_EQ(engine.RecoverItem(nullptr, out / "x", 0), kInvalidParameter);
}

TEST_F(StoreEngineTest, CancelStopsAFolderRecovery) {
  engine.SetCallbacks(
      nullptr, [](void*, int32_t, int32_t, int32_t, const char*) { return kCancelled; }, nullptr,
      100);
  FoundRecord folder = engine.Get(docs);
  EXPECT_EQ(engine.RecoverItem(&folder, out / "Docs", 0), kCancelled);
}

TEST_F(StoreEngineTest, PreviewsGoToTheirTemporaryOrToMemory) {
  std::string path;
  uint8_t memory[8];
  uint32_t size = sizeof memory;
  FoundRecord jpg = engine.Get(6);
  ASSERT_EQ(engine.ExtractForPreview(&jpg, path, memory, size, nullptr, nullptr), 0);
  // Previews go to the process's private folder, not among the scan data.
  std::string previews = PreviewFolder().string();
  ASSERT_FALSE(previews.empty());
  EXPECT_EQ(path, previews + "/tmp.jpg");
  EXPECT_EQ(test::ReadFile(path), "jpeg bytes");
  EXPECT_EQ(size, 0u);

  FoundRecord text = engine.Get(1);
  path.clear();
  size = sizeof memory;
  ASSERT_EQ(engine.ExtractForPreview(&text, path, memory, size, nullptr, nullptr), 0);
  EXPECT_EQ(size, 8u) << "the memory copy is cut to the buffer";
  EXPECT_EQ(std::string(reinterpret_cast<char*>(memory), 8), "top file");

  engine.failWith = kReadFault;
  path.clear();
  EXPECT_EQ(engine.ExtractForPreview(&jpg, path, memory, size, nullptr, nullptr), kReadFault);
  EXPECT_FALSE(fs::exists(previews + "/tmp.jpg")) << "a failed preview leaves no file";
  RemovePreviewFolder();
}

TEST_F(StoreEngineTest, ListingAndPathsComeFromTheStore) {
  std::vector<FoundRecord> root;
  ASSERT_EQ(engine.ListFolder(nullptr, 0, root), 0);
  ASSERT_EQ(root.size(), 2u);
  EXPECT_EQ(engine.ListFolder(nullptr, 3, root), kInvalidParameter);
  uint32_t count = 0;
  ASSERT_EQ(engine.CountFolderFiles(nullptr, 0, count), 0);
  EXPECT_EQ(count, 4u);
  std::string path;
  engine.GetRecordPath(engine.Get(6), path);
  EXPECT_EQ(path, "Docs/Inner/");
  EXPECT_EQ(engine.GetRecordCount(), 6u);
}

}  // namespace
}  // namespace salvora
