#include <gtest/gtest.h>
#include <signal.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "PreviewFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

using namespace std::chrono_literals;

// Whether a process runs (a zombie has ended: it waits only to be reaped).
bool Alive(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string pidField, name, state;
  return stat >> pidField >> name >> state && state != "Z";
}

TEST(HelperConfinementTest, ConverterEndsWithTheHelperItRunsUnder) {
  // The application ends the helper by its process group; a converter the
  // helper started must not live on outside that group.
  TempDir dir;
  WriteFile(dir / "catdoc", "#!/bin/sh\necho $$ > " + Quote(dir / "pid") + "\nexec sleep 60\n");
  MustRun("chmod +x " + Quote(dir / "catdoc"));
  ProcessRequest request;
  request.program = "/usr/bin/env";
  request.args = {"PATH=" + dir.path() + ":/usr/bin:/bin", PreviewHelperBinary(), "text",
                  PreviewFixture("letter.doc")};
  request.timeLimit = 1500ms;
  ProcessResult result = RunProcess(request);
  ASSERT_EQ(result.end, ProcessEnd::kTimedOut);
  std::ifstream pidFile(dir / "pid");
  pid_t converter = 0;
  ASSERT_TRUE(pidFile >> converter) << "the fake converter did not start";
  auto deadline = std::chrono::steady_clock::now() + 5s;
  while (Alive(converter) && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(Alive(converter));
  if (Alive(converter)) kill(converter, SIGKILL);
}

TEST(HelperConfinementTest, HelperCannotWriteIntoTheHomeFolder) {
  // The one file the helper writes is the picture it was asked for; a
  // converter it runs finds the home folder read-only.
  if (geteuid() != 0 && std::system("unshare -Ur true 2>/dev/null") != 0)
    GTEST_SKIP() << "user namespaces are not allowed here; the helper then only filters sockets";
  TempDir dir;
  TempDir home;
  WriteFile(dir / "catdoc", "#!/bin/sh\ntouch " + Quote(home / "written") + " 2>/dev/null\necho converted text\n");
  MustRun("chmod +x " + Quote(dir / "catdoc"));
  ProcessResult text = RunPreviewHelperBinary({"text", PreviewFixture("letter.doc")},
                                              {"PATH=" + dir.path() + ":/usr/bin:/bin", "HOME=" + home.path()});
  ASSERT_TRUE(text.ExitedWith(0)) << text.err;
  EXPECT_EQ(text.out, "converted text\n");
  EXPECT_FALSE(std::filesystem::exists(home / "written"));
  ProcessResult picture = RunPreviewHelperBinary({"picture", PreviewFixture("picture.png"), home / "out.png"},
                                                 {"HOME=" + home.path()});
  EXPECT_TRUE(picture.ExitedWith(0)) << picture.err;
  EXPECT_TRUE(std::filesystem::is_regular_file(home / "out.png"));
}

}  // namespace
}  // namespace salvora::test
