// A listing line shows a found file's folder and name as a terminal may
// safely print them: names come from the disk and may hold anything.
#include "cli/RecordOutput.h"

#include <gtest/gtest.h>

#include "results/FoundRecord.h"

namespace salvora {
namespace {

TEST(RecordOutput, ControlAndDirectionCharactersNeverReachTheTerminal) {
  FoundRecord record{};
  // U+009B opens a terminal control sequence; U+202E turns the text round
  // so that "gpj.exe" reads as "exe.jpg".
  SetRecordName(record.name, "a\xC2\x9B" "31m\xE2\x80\xAEgpj.exe");
  record.contentOk = 1;
  std::string line = RecordLine(record, "dir\x1B[2J/");
  EXPECT_EQ(line.find("\xC2\x9B"), std::string::npos) << line;
  EXPECT_EQ(line.find("\xE2\x80\xAE"), std::string::npos) << line;
  EXPECT_EQ(line.find('\x1B'), std::string::npos) << line;
  EXPECT_NE(line.find("exe"), std::string::npos) << line;
}

}  // namespace
}  // namespace salvora
