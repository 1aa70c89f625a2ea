// The results page at scale: a store of COUNT found files (default
// 1,000,000, all in one folder; half of them JPEGs) is collected, grouped
// into the type tree, a node of half the files is shown, sorted by name and
// by size, and every row checked; then the folder view shows the folder,
// its root is checked and its files are filtered by name. Each step is
// timed as the window's thread runs it: for work handed to a worker, the
// longest stretch the window could not answer, and the time until the
// result showed. The peak resident memory is printed at the end.
//   bench_results_scale [COUNT]
#include <sys/resource.h>

#include <QApplication>
#include <QCheckBox>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

#include "app/FileListModel.h"
#include "app/FileTypeChoice.h"
#include "app/FolderTreeModel.h"
#include "app/ResultSet.h"
#include "app/SearchProcessWnd.h"
#include "app/Skin.h"
#include "app/TypeTreePanel.h"
#include "results/ScanHistory.h"
#include "results/TypeGroups.h"
#include "support/StoredRecordsEngine.h"
#include "support/TestSupport.h"

using namespace salvora;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kKinds[] = {"jpg", "png", "doc", "mp3", "zip", "xyz", "pdf", "mov"};

// Found file i of the synthetic store: carved, half of them JPEGs.
void SyntheticFile(uint32_t i, FoundRecord& r) {
  r.sourceTag = 1;  // the source's key, as engines tag what they find
  r.engineKind = kCarved;
  r.isDeleted = 1;
  r.contentOk = 1;
  r.clusterBytes = 0xFFFFFFFF;
  r.fileSize = (i * 7919ULL) % 50000000;
  r.writeTime = 133000000000000000ULL + i * 10000000ULL;
  const char* kind = i % 2 == 0 ? "jpg" : kKinds[(i / 2) % 8];
  std::snprintf(r.name, sizeof r.name, "file_%07u.%s", (i * 2654435761u) % 10000000, kind);
}

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct StepTimes {
  double windowBlocked = 0;  // the longest stretch without handling events
  double untilDone = 0;
};

// Starts a step and runs the window's events until it is done.
StepTimes Measure(const std::function<void()>& start, const std::function<bool()>& done) {
  StepTimes times;
  auto begin = Clock::now();
  start();
  times.windowBlocked = Since(begin);
  while (!done()) {
    auto busy = Clock::now();
    QApplication::processEvents();
    times.windowBlocked = std::max(times.windowBlocked, Since(busy));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  times.untilDone = Since(begin);
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  uint32_t count = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
  test::ScopedDataDir data;
  ScanHistory::Instance().NewRunFolder();
  DiskListItem item;
  item.key = 1;
  item.engine = std::make_unique<test::StoredRecordsEngine>(count, SyntheticFile);

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
  RecordArena records;
  std::vector<std::string> paths;
  CSearchProcessWnd collect({&item}, choice.Filter(), records, nullptr, &paths);
  // As the window has it: the collection's worker groups the files.
  collect.SetFinishingStep([&] { results.Reset(std::move(records), std::move(paths)); });
  collect.Run();
  double collected = Since(start);
  start = Clock::now();
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

  results.UncheckAll();
  FolderTreeModel folders(results);
  Bind<QTreeView>(form, "DiskTree")->setModel(&folders);
  bool listed = false;
  StepTimes folderShown = Measure(
      [&] {
        folders.Reset({&item}, {QStringLiteral("Synthetic")});
        folders.ListChildren(folders.index(0, 0),
                             [&](std::shared_ptr<const RecordArena> listing, const std::string& path) {
                               files.ShowListing(std::move(listing), path);
                               listed = true;
                             });
      },
      [&] { return listed && !folders.Busy(); });
  int folderRows = files.rowCount();
  StepTimes rootChecked = Measure(
      [&] { folders.setData(folders.index(0, 0), Qt::Checked, Qt::CheckStateRole); },
      [&] { return !folders.Busy(); });
  files.RefreshChecks();
  tree.RefreshChecks();
  RecordCriteria byName;
  byName.name = "file_00012*.jpg";
  start = Clock::now();
  files.SetCriteria(byName);
  QApplication::processEvents();
  double filtered = Since(start);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%u found files, %d rows in the node\n", count, files.rowCount());
  std::printf("  collection with paths:      %6.2f s (grouping included, on its worker)\n", collected);
  std::printf("  grouping and type tree:     %6.2f s\n", grouped);
  std::printf("  showing the node:           %6.2f s\n", shown);
  std::printf("  sort by name:               %6.2f s\n", sortedByName);
  std::printf("  sort by size:               %6.2f s\n", sortedBySize);
  std::printf("  check all rows:             %6.2f s\n", checked);
  std::printf("  showing the folder view:    %6.2f s\n", folderShown.windowBlocked);
  std::printf("    rows shown after:         %6.2f s (%d rows)\n", folderShown.untilDone, folderRows);
  std::printf("  checking the root folder:   %6.2f s\n", rootChecked.windowBlocked);
  std::printf("    checks shown after:       %6.2f s (%llu checked)\n", rootChecked.untilDone,
              static_cast<unsigned long long>(results.CheckedCount()));
  std::printf("  filtering by name:          %6.2f s (%d match)\n", filtered, files.rowCount());
  std::printf("  peak resident memory:       %6.0f MiB\n", usage.ru_maxrss / 1024.0);
  return 0;
}
