#include "base/RegRoot.h"

#include "base/RegHive.h"

namespace tarnwick
{

std::string_view regRootName(RegRoot root)
{
    switch (root) {
    case RegRoot::LocalMachine:
        return "HKEY_LOCAL_MACHINE";
    case RegRoot::CurrentUser:
        return "HKEY_CURRENT_USER";
    case RegRoot::ClassesRoot:
        return "HKEY_CLASSES_ROOT";
    }
    return {};
}

std::optional<RegRoot> regRootFromName(std::string_view name)
{
    const std::string folded = foldCase(name);
    for (RegRoot root : kAllRegRoots) {
        if (folded == foldCase(regRootName(root)))
            return root;
    }
    if (folded == "hklm")
        return RegRoot::LocalMachine;
    if (folded == "hkcu")
        return RegRoot::CurrentUser;
    if (folded == "hkcr")
        return RegRoot::ClassesRoot;
    return std::nullopt;
}

} // namespace tarnwick
