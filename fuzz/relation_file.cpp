// Parses arbitrary relation-file text, then lists a store that carries it.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "results/RelationFile.h"
#include "results/ScanResultStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  salvora::RelationMap map;
  salvora::ParseRelationText(reinterpret_cast<const char*>(data), size, map);

  static const std::string folder =
      (std::filesystem::temp_directory_path() / ("salvora-fuzz-" + std::to_string(getpid())))
          .string();
  std::filesystem::create_directories(folder);
  {
    std::ofstream relation(folder + "/s_Relation", std::ios::binary | std::ios::trunc);
    relation.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    std::ofstream records(folder + "/s", std::ios::binary | std::ios::trunc);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (int i = 0; i < 4; ++i) records.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  salvora::ScanResultStore store;
  if (store.OpenStore(folder, "s") != 0) return 0;
  std::vector<salvora::FoundRecord> out;
  store.ListChildren(0, out);
  uint32_t count = 0;
  store.CountFiles(0, count);
  for (const auto& record : out) {
    std::string path;
    store.RecordPath(record, path);
  }
  store.ListByTypes(".other|*.jpg", out);
  store.CloseStore();
  std::filesystem::remove(folder + "/s_DirInfo");
  return 0;
}
