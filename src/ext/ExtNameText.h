#pragma once
// ext stores names as bytes without an encoding; Linux writes UTF-8. Names
// that are valid UTF-8 pass unchanged; every byte that is not part of a
// valid sequence becomes U+FFFD, so that a record never holds broken text.
#include <cstddef>
#include <cstdint>
#include <string>

namespace salvora {

std::string ExtNameToUtf8(const uint8_t* bytes, size_t length);

}  // namespace salvora
