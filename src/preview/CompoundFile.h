#pragma once
// Streams of a compound file (the container of legacy Office documents),
// read from its bytes in memory. Every sector number, chain and size comes
// from the file and is checked: a chain that loops or leaves the file ends
// the stream there.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace salvora::preview {

// The bytes of the stream named `name` (a top-level or nested stream, by its
// exact name), at most `maxBytes`; nothing when the file is no compound file
// or has no such stream.
std::optional<std::string> ReadCompoundStream(std::string_view file, std::u16string_view name,
                                              size_t maxBytes);

}  // namespace salvora::preview
