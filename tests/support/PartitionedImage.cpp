#include "support/PartitionedImage.h"

#include "support/TestSupport.h"

namespace salvora::test {

const char kGptBasicData[] = "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7";

void MakePartitionedImage(const std::string& image, const std::string& label, uint64_t totalSectors,
                          const std::vector<PartitionPlan>& plan) {
  MustRun("truncate -s " + std::to_string(totalSectors * 512) + " " + Quote(image));
  std::string script = "label: " + label + "\\n";
  for (const PartitionPlan& p : plan)
    script += "start=" + std::to_string(p.start) + ", size=" + std::to_string(p.sectors) +
              ", type=" + p.type + "\\n";
  MustRun("printf '" + script + "' | sfdisk -q " + Quote(image));
}

void FillFat32Partition(const std::string& image, const PartitionPlan& partition,
                        const std::vector<std::string>& files,
                        const std::vector<std::string>& deleted) {
  MustRun("mkfs.fat -F 32 -S 512 -s 1 -h " + std::to_string(partition.start) + " --offset " +
          std::to_string(partition.start) + " " + Quote(image) + " " +
          std::to_string(partition.sectors / 2) + " >/dev/null 2>&1");
  std::string at = Quote(image + "@@" + std::to_string(partition.start * 512));
  for (const std::string& file : files)
    MustRun("MTOOLS_SKIP_CHECK=1 mcopy -i " + at + " " + Quote(file) + " ::/");
  for (const std::string& name : deleted)
    MustRun("MTOOLS_SKIP_CHECK=1 mdel -i " + at + " ::/" + name);
}

}  // namespace salvora::test
