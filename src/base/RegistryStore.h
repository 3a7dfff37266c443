#pragma once

#include "base/RegHive.h"
#include "base/RegRoot.h"

#include <functional>

namespace tarnwick
{

// Where the registry's keys live. Readers take a snapshot of one root; writers
// hand in a change that the store applies to the current state of that root
// and keeps, atomically with respect to other writers (also in other
// processes, for the file store).
class RegistryStore
{
public:
    virtual ~RegistryStore() = default;

    // The root's keys as they are now. Throws StoreFileError when the store
    // cannot be read.
    virtual RegHive load(RegRoot root) const = 0;

    // Applies `change` to the current keys of `root` and stores the result.
    // `change` may run more than once and must only edit the hive it is given;
    // it returns false to leave the store as it was. Throws ServiceError
    // (SetData, naming `subject`) when the store refuses the write, and
    // StoreFileError when the stored keys cannot be read.
    virtual void modify(RegRoot root, std::string_view subject, const std::function<bool(RegHive&)>& change)
        = 0;
};

} // namespace tarnwick
