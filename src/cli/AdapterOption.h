#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwick::cli
{

// The "[--adapter N]" argument shared by the adapter verbs. Returns false on
// anything else; `adapter` stays empty when the option is absent.
bool parseAdapterOption(const std::vector<std::string>& args, std::optional<int>& adapter);

} // namespace tarnwick::cli
