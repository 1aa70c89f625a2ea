#pragma once
// The check of a PNG the preview helper wrote, before the window decodes
// it: only its header and size are read.
#include <filesystem>
#include <string>

namespace salvora {

// Empty when the file is a PNG within kPreviewPictureSide and
// kPreviewPictureFileBytes, else why it is not.
std::string CheckPreviewPicture(const std::filesystem::path& png);

}  // namespace salvora
