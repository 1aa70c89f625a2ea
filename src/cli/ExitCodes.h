#pragma once

namespace salvora {

constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;  // bad usage or a source that cannot be used
constexpr int kExitCancelled = 130;

}  // namespace salvora
