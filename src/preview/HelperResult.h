#pragma once
// What one command of the preview helper produced: text for stdout, or the
// one-line reason for its failure.
#include <string>

namespace salvora::preview {

struct HelperResult {
  bool ok = false;
  std::string text;
  std::string failure;

  static HelperResult Success(std::string text = {}) { return {true, std::move(text), {}}; }
  static HelperResult Failure(std::string reason) { return {false, {}, std::move(reason)}; }
};

}  // namespace salvora::preview
