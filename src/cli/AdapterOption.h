#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwick::cli
{

// The "[--adapter N]" argument shared by the adapter verbs. Returns false on
// anything else; `adapter` stays empty when the option is absent.
bool parseAdapterOption(const std::vector<std::string>& args, std::optional<int>& adapter);

// An adapter index as the command line gives it: decimal digits only.
std::optional<int> parseIndex(const std::string& text);

} // namespace tarnwick::cli
