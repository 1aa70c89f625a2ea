#pragma once
// Store names: a prefix, the volume's first sector and the local time of the
// scan's start ("Fast_2048_202612613 5": the minute takes two columns).
#include <cstdint>
#include <string>

#include "platform/Clock.h"

namespace salvora {

constexpr char kQuickStorePrefix[] = "Fast_";
constexpr char kDeepFatStorePrefix[] = "Pro_Fat_";
constexpr char kDeepNtfsStorePrefix[] = "Pro_Ntfs_";
constexpr char kCarvingStorePrefix[] = "File_Type_";
constexpr char kDeepExfatStorePrefix[] = "Pro_Exfat_";
constexpr char kDeepExtStorePrefix[] = "Pro_Ext_";

std::string FormatStoreName(const char* prefix, int64_t firstSector, const LocalTimeParts& when);
std::string FormatStoreName(const char* prefix, int64_t firstSector);

}  // namespace salvora
