// The .reg reader: any input either parses or is refused with StoreFileError,
// and what parses is written and read back to the same keys and values.
#include "base/RegFile.h"
#include "base/StoreFileError.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tarnwick::RegFileContent content;
    try {
        content = tarnwick::parseRegFile(bytes, "fuzz.reg");
    } catch (const tarnwick::StoreFileError&) {
        return 0;
    }
    for (const auto& [root, hive] : content) {
        const std::string text = tarnwick::formatRegFile(root, hive);
        const tarnwick::RegFileContent again = tarnwick::parseRegFile(text, "again.reg");
        if (again.size() > 1 || (again.empty() ? !hive.empty() : !(again.at(root) == hive)))
            std::abort();
    }
    return 0;
}
