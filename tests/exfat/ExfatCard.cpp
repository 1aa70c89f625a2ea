#include "exfat/ExfatCard.h"

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <utility>

namespace salvora::test {
std::string WhyNoExfatFuse() {
  if (!HaveCommand("mkfs.exfat") || !HaveCommand("mount.exfat-fuse"))
    return "mkfs.exfat and exfat-fuse are not installed";
  if (!CanUseLoopDevices()) return "exfat-fuse needs a block device: loop devices need root";
  if (::access("/dev/fuse", R_OK | W_OK) != 0) return "/dev/fuse is not available";
  return "";
}

namespace {

std::string FixtureScript() {
  return (std::filesystem::path(__FILE__).parent_path() / "make_exfat_fixture.py").string();
}

ExfatCard Build(uint32_t clusterBytes, bool reformatted) {
  ExfatCard card;
  card.skipReason = WhyNoExfatFuse();
  if (card.skipReason.empty() && !HaveCommand("python3")) card.skipReason = "python3 is missing";
  if (!card.skipReason.empty()) return card;
  card.dir = std::make_unique<TempDir>();
  std::string output;
  std::string command = "python3 " + Quote(FixtureScript()) + " " + Quote(card.dir->path()) + " " +
                        std::to_string(clusterBytes) + (reformatted ? " reformat" : "");
  if (Run(command, &output) != 0) {
    card.skipReason = "the exFAT card could not be built: " + output;
    return card;
  }
  card.image = *card.dir / "card.img";
  std::istringstream manifest(ReadFile(*card.dir / "manifest.txt"));
  std::string line;
  while (std::getline(manifest, line)) {
    if (line.rfind("live ", 0) == 0) card.live.push_back(line.substr(5));
    if (line.rfind("deleted ", 0) == 0) card.deleted[line.substr(10)] = line[8] == '1';
  }
  return card;
}

}  // namespace

const ExfatCard& ExfatCard::Get(uint32_t clusterBytes, bool reformatted) {
  static std::map<std::pair<uint32_t, bool>, ExfatCard> cards;
  auto key = std::make_pair(clusterBytes, reformatted);
  auto found = cards.find(key);
  if (found == cards.end()) found = cards.emplace(key, Build(clusterBytes, reformatted)).first;
  return found->second;
}

std::string ExfatCard::Original(const std::string& path) const {
  std::string flat = path;
  for (size_t at = flat.find('/'); at != std::string::npos; at = flat.find('/'))
    flat.replace(at, 1, "__");
  return ReadFile(*dir / ("originals/" + flat));
}

}  // namespace salvora::test
