// The profile-file reader: any bytes parse, unchanged documents are written
// back byte for byte, and a value set reads back as it was set.
#include "base/ProfileDocument.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tarnwick::ProfileDocument doc = tarnwick::ProfileDocument::parseBytes(bytes);
    if (doc.serializeBytes() != bytes)
        std::abort();
    const auto sections = doc.sectionNames();
    for (const std::string& s : sections)
        (void)doc.value(s, "Syhm");
    // Use the input's own names and texts as the value to store.
    const std::string section = sections.empty() ? std::string("Setting") : sections.front();
    const std::string value(bytes.substr(0, bytes.size() / 2));
    try {
        doc.setValue(section, "Smm", value);
    } catch (const std::invalid_argument&) {
        return 0;
    }
    const tarnwick::ProfileDocument again = tarnwick::ProfileDocument::parseBytes(doc.serializeBytes());
    if (again.value(section, "Smm") != value)
        std::abort();
    return 0;
}
