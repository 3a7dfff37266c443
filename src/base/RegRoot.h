#pragma once

#include <optional>
#include <string_view>

namespace tarnwick
{

// The root keys the program uses.
enum class RegRoot { LocalMachine, CurrentUser, ClassesRoot };

inline constexpr RegRoot kAllRegRoots[]
    = { RegRoot::LocalMachine, RegRoot::CurrentUser, RegRoot::ClassesRoot };

// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT".
std::string_view regRootName(RegRoot root);
// Accepts the full names (any case) and HKLM, HKCU, HKCR.
std::optional<RegRoot> regRootFromName(std::string_view name);

} // namespace tarnwick
