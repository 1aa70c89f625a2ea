#pragma once
// The --types option: extensions ("jpg,png") and group names ("photo,audio,
// video,document,archive,other") turned into a type filter.
#include <string>

namespace salvora {

// Every type when `types` is empty. False with a reason for an empty item.
bool BuildTypeFilter(const std::string& types, std::string& filter, std::string& reason);

}  // namespace salvora
