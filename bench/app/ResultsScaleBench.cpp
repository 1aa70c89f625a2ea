// The results page at scale: a store of COUNT found files (default
// 1,000,000; half of them JPEGs) is collected, grouped into the type tree,
// a node of half the files is shown, sorted by name and by size, and every
// row checked, each step timed as the window runs it; the peak resident
// memory is printed at the end.   bench_results_scale [COUNT]
#include <sys/resource.h>

#include <QApplication>
#include <QCheckBox>
#include <QTreeView>
#include <QTreeWidget>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "app/FileListModel.h"
#include "app/FileTypeChoice.h"
#include "app/ResultSet.h"
#include "app/SearchProcessWnd.h"
#include "app/Skin.h"
#include "app/TypeTreePanel.h"
#include "results/ScanHistory.h"
#include "results/TypeGroups.h"
#include "storage/StoreEngine.h"
#include "support/TestSupport.h"

using namespace salvora;
using Clock = std::chrono::steady_clock;

namespace {

// An engine over a store written here; it copies nothing.
class SyntheticEngine : public StoreEngine {
 public:
  explicit SyntheticEngine(uint32_t count) {
    OpenNewStoreNamed("Synthetic");
    const char* const kinds[] = {"jpg", "png", "doc", "mp3", "zip", "xyz", "pdf", "mov"};
    for (uint32_t i = 0; i < count; ++i) {
      FoundRecord* r = store_.AppendRecord();
      r->engineKind = kCarved;
      r->isDeleted = 1;
      r->contentOk = 1;
      r->recordNo = i + 1;
      r->clusterBytes = 0xFFFFFFFF;
      r->fileSize = (i * 7919ULL) % 50000000;
      r->writeTime = 133000000000000000ULL + i * 10000000ULL;
      const char* kind = i % 2 == 0 ? "jpg" : kinds[(i / 2) % 8];
      std::snprintf(r->name, sizeof r->name, "file_%07u.%s", (i * 2654435761u) % 10000000, kind);
      store_.AddRelation(0, 0, i + 1, 0, nullptr);
    }
    store_.Flush();
  }
  int OpenImage(const std::string&, uint16_t) override { return 0; }
  int OpenDisk(uint32_t, uint64_t, uint64_t, uint16_t) override { return 0; }
  int Scan(const char*) override { return 0; }

 protected:
  int CopyFileData(const FoundRecord&, DataSink&) override { return 87; }
};

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  uint32_t count = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
  test::ScopedDataDir data;
  ScanHistory::Instance().NewRunFolder();
  DiskListItem item;
  item.key = 1;
  item.engine = std::make_unique<SyntheticEngine>(count);

  QWidget host;
  QWidget* form = LoadSkin("MainWnd", &host);
  FileTypeChoice choice(form);
  ResultSet results;
  TypeTreePanel tree(Bind<QTreeWidget>(form, "TypeTree"), results, choice);
  FileListModel files(results);
  QTreeView* list = Bind<QTreeView>(form, "FileList");
  list->setModel(&files);
  host.resize(800, 500);
  host.show();

  auto start = Clock::now();
  std::vector<FoundRecord> records;
  std::vector<std::string> paths;
  CSearchProcessWnd collect({&item}, choice.Filter(), records, nullptr, &paths);
  collect.Run();
  double collected = Since(start);
  start = Clock::now();
  results.Reset(std::move(records), std::move(paths));
  tree.Build();
  double grouped = Since(start);

  QTreeWidgetItem* jpegs = tree.GroupNode("NodePhoto")->child(0);
  start = Clock::now();
  files.ShowResults(tree.FilesOf(jpegs));
  QApplication::processEvents();
  double shown = Since(start);
  start = Clock::now();
  files.ClickHeader(FileListModel::kName);
  QApplication::processEvents();
  double sortedByName = Since(start);
  start = Clock::now();
  files.ClickHeader(FileListModel::kSize);
  QApplication::processEvents();
  double sortedBySize = Since(start);
  start = Clock::now();
  files.CheckAll(true);
  tree.RefreshChecks();
  QApplication::processEvents();
  double checked = Since(start);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%u found files, %d rows in the node\n", count, files.rowCount());
  std::printf("  collection with paths:      %6.2f s\n", collected);
  std::printf("  grouping and type tree:     %6.2f s\n", grouped);
  std::printf("  showing the node:           %6.2f s\n", shown);
  std::printf("  sort by name:               %6.2f s\n", sortedByName);
  std::printf("  sort by size:               %6.2f s\n", sortedBySize);
  std::printf("  check all rows:             %6.2f s\n", checked);
  std::printf("  peak resident memory:       %6.0f MiB\n", usage.ru_maxrss / 1024.0);
  return 0;
}
