#pragma once
// A raw copy of a disk, a partition or a stretch of a disk into an image
// file, read through the node that names the disk (its number may move
// while the copy runs). Complete, partial when unreadable sectors were
// written as zeros (the report lists them), failed, or cancelled.
#include <cstdint>
#include <string>

#include "imaging/ImageCopier.h"
#include "jobs/JobObserver.h"
#include "jobs/JobReport.h"
#include "jobs/JobSource.h"

namespace salvora {

struct ImageJobInput {
  // The volume to copy: an image file, or the node of a disk (or of the
  // partition itself) with the place on it; 0 sectors: to its end.
  JobSource source;
  std::string target;
  UnreadablePolicy unreadable;
};

struct ImageJobResult {
  JobReport report;
  uint64_t copiedBytes = 0;  // bytes at the image's start that hold the source's data
  uint32_t sectorSize = 512;
};

ImageJobResult RunImageJob(const ImageJobInput& input, JobObserver& observer);

}  // namespace salvora
