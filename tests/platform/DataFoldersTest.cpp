#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "platform/DataFolders.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

TEST(PrivateFolders, RuntimeFolderMustBeOursAndClosed) {
  test::TempDir dir;
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  std::string saved = old ? old : "";
  ::chmod(dir.path().c_str(), 0755);
  ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  EXPECT_TRUE(PrivateRuntimeFolder().empty()) << "others can enter it";
  ::chmod(dir.path().c_str(), 0700);
  EXPECT_EQ(PrivateRuntimeFolder(), dir.path());
  ::setenv("XDG_RUNTIME_DIR", "relative/run", 1);
  EXPECT_TRUE(PrivateRuntimeFolder().empty());

  ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  std::filesystem::path preview = PreviewFolder();
  ASSERT_FALSE(preview.empty());
  EXPECT_EQ(preview.parent_path(), dir.path());
  struct stat st {};
  ASSERT_EQ(::stat(preview.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(PreviewFolder(), preview) << "one folder for the life of the process";
  test::WriteFile((preview / "tmp.avi").string(), "a copy of a found file");
  RemovePreviewFolder();
  EXPECT_FALSE(std::filesystem::exists(preview));
  if (old)
    ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  else
    ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace salvora
