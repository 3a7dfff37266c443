// Loads arbitrary bytes as a configuration file, counts and reads the records
// as a list refresh does, and checks that what the store would save reads
// back to the same records.
#include "store/ConfigFile.h"
#include "store/XmlDocument.h"
#include "store/XmlError.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarnwick;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    XmlDocument doc;
    try {
        doc.loadXml(bytes);
    } catch (const XmlError&) {
        return 0;
    }
    const XmlNode box = doc.selectSingleNode("/ConfigBox");
    if (box.isNull())
        return 0;
    const ConfigTable table = readConfigTable(box);
    if (table.count() > recordCount(box))
        std::abort();

    std::string saved;
    try {
        saved = doc.toBytes();
    } catch (const XmlError&) {
        return 0;
    }
    XmlDocument again;
    again.loadXml(saved); // what we write must always load again
    if (readConfigTable(again.selectSingleNode("/ConfigBox")) != table)
        std::abort();
    return 0;
}
