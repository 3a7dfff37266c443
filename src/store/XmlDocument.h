#pragma once

#include "store/XmlNode.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace tarnwick
{

// Larger than any configuration file gets (10,000 configurations take 6 MB).
inline constexpr std::uintmax_t kMaxDocumentBytes = 64u * 1024 * 1024;

// One XML document, loaded whole, edited as a tree and saved whole, over
// libxml2. Strings in and out are UTF-8. Files are written in GB2312 with the
// declaration alone on the first line; characters GB2312 lacks become
// character references, so nothing is lost. Saves are atomic (temporary file
// in the same folder, flushed, renamed over the old one).
class XmlDocument
{
public:
    // The exact first line of every file this service writes.
    static constexpr std::string_view kDeclaration = R"(<?xml version="1.0" encoding="GB2312"?>)";

    XmlDocument(); // empty: no root element yet
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Parses the file, replacing what the document held. Throws XmlError naming
    // the file, line and reason when the file cannot be read or does not
    // parse; the document is then unusable and refuses to be saved, so a
    // broken file is never overwritten with something made up.
    // Refuses what is not a regular file (a pipe would block, a device may
    // never end), a file larger than `maxBytes` (read no further), and after
    // parsing, a document with a document type declaration (the formats have
    // none; entities could make a small file cost gigabytes to read).
    void load(const std::filesystem::path& path, std::uintmax_t maxBytes = kMaxDocumentBytes);
    // The bytes load() parses, read by the same rules; throws XmlError.
    static std::string readFile(
        const std::filesystem::path& path, std::uintmax_t maxBytes = kMaxDocumentBytes);
    // The same from bytes in memory; `sourceName` names them in errors.
    void loadXml(std::string_view bytes, const std::string& sourceName = "(memory)");

    // Writes the whole document to `path`; throws XmlError on failure (the
    // old file is then untouched).
    void save(const std::filesystem::path& path) const;
    // The bytes save() writes.
    std::string toBytes() const;

    XmlNode documentElement() const;
    // An absolute path such as "/ConfigBox" (or "/A/B"): the root element when
    // its name matches the first step, then child elements by name.
    XmlNode selectSingleNode(std::string_view path) const;

    // A new element that belongs to this document but is not in the tree yet.
    XmlNode createElement(std::string_view name);
    // Makes `element` the root element when the document has none yet.
    XmlNode appendChild(XmlNode element);

    // Elements taken out of the tree stay alive until the document goes, so
    // handles to them never dangle; the node functions report them here.
    void keepDetached(_xmlNode* node);

private:
    void reset();
    void freeDetached();
    void requireLoaded() const;

    _xmlDoc* m_doc = nullptr;
    bool m_loadFailed = false;
    std::vector<_xmlNode*> m_detached;
};

} // namespace tarnwick
