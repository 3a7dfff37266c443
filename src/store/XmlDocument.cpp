#include "store/XmlDocument.h"

#include "store/StoreMessages.h"

#include "base/Text.h"

#include "base/AtomicFile.h"
#include "base/BoundedRead.h"
#include "store/XmlError.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>

namespace tarnwick
{
namespace
{

// libxml2's own error output (encoding errors among them) would go to
// standard error ahead of our message; the parser's errors reach us through
// its context, so the rest is dropped.
void quiet(void*, const char*, ...)
{
}

void initLibxml()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetGenericErrorFunc(nullptr, quiet);
    });
}

// Duplicate attributes are looked for pairwise: an element with a hundred
// thousand of them costs minutes. No element of our formats has more than a
// few, so such a file is refused before it is parsed.
constexpr std::size_t kMaxAttributes = 256;

// The most attributes any start tag of the text holds, counted from the
// quoted values; comments, CDATA and declarations are passed over.
std::size_t mostAttributesInOneTag(std::string_view text)
{
    std::size_t most = 0;
    std::size_t i = 0;
    while ((i = text.find('<', i)) != std::string_view::npos) {
        ++i;
        if (i >= text.size() || text[i] == '/' || text[i] == '?' || text[i] == '!')
            continue;
        std::size_t count = 0;
        while (i < text.size() && text[i] != '>') {
            if (text[i] == '"' || text[i] == '\'') {
                const char quote = text[i];
                const std::size_t end = text.find(quote, i + 1);
                if (end == std::string_view::npos)
                    return most;
                ++count;
                i = end;
            }
            ++i;
        }
        most = std::max(most, count);
    }
    return most;
}

std::string lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

// The encoding named by the XML declaration, or empty text.
std::string declaredEncoding(std::string_view bytes)
{
    if (bytes.substr(0, 5) != "<?xml")
        return {};
    const std::string_view decl = bytes.substr(0, std::min(bytes.find("?>"), std::size_t { 256 }));
    auto pos = decl.find("encoding");
    if (pos == std::string_view::npos)
        return {};
    pos = decl.find_first_of("\"'", pos);
    if (pos == std::string_view::npos)
        return {};
    const auto end = decl.find(decl[pos], pos + 1);
    if (end == std::string_view::npos)
        return {};
    return std::string(decl.substr(pos + 1, end - pos - 1));
}

// Files that say GB2312 are often written by tools that use the larger GBK
// or GB18030 sets; reading them as GB18030, a superset, loses nothing.
const char* readEncodingFor(std::string_view bytes)
{
    const std::string enc = lower(declaredEncoding(bytes));
    if (enc == "gb2312" || enc == "gbk" || enc == "cp936" || enc == "gb18030" || enc == "euc-cn")
        return "GB18030";
    return nullptr;
}

// No network, no messages on stderr (the error is handed back instead), no
// entity expansion; blank text between elements is dropped, and CDATA becomes
// plain text so that the writer can escape whatever GB2312 lacks.
constexpr int kParseOptions
    = XML_PARSE_NOBLANKS | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;

bool hasHighBytes(const xmlChar* s)
{
    for (; s && *s; ++s) {
        if (*s >= 0x80)
            return true;
    }
    return false;
}

// Names cannot be written as character references. A document with
// non-ASCII names (or a DTD, which holds names too) may therefore come out
// of the GB2312 writer unreadable, so its output is checked before it is
// written; ordinary documents skip that second parse.
bool mayNotSurviveGb2312(xmlDoc* doc)
{
    if (doc->intSubset || doc->extSubset)
        return true;
    xmlNode* n = xmlDocGetRootElement(doc);
    for (xmlNode* top = doc->children; top; top = top->next) {
        if (top->type == XML_PI_NODE && hasHighBytes(top->name))
            return true;
    }
    while (n) {
        if (n->type == XML_ELEMENT_NODE) {
            if (hasHighBytes(n->name))
                return true;
            for (xmlAttr* a = n->properties; a; a = a->next) {
                if (hasHighBytes(a->name))
                    return true;
            }
        } else if ((n->type == XML_PI_NODE || n->type == XML_ENTITY_REF_NODE) && hasHighBytes(n->name)) {
            return true;
        }
        if (n->type == XML_ELEMENT_NODE && n->children) {
            n = n->children;
            continue;
        }
        while (n && !n->next) {
            n = n->parent;
            if (n && n->type != XML_ELEMENT_NODE)
                n = nullptr;
        }
        if (n)
            n = n->next;
    }
    return false;
}

bool parses(const std::string& bytes)
{
    xmlDoc* doc
        = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, "GB18030", kParseOptions);
    if (!doc)
        return false;
    xmlFreeDoc(doc);
    return true;
}

struct ParserCtxtFree {
    void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};

std::string trimmed(const char* s)
{
    return trimBlanks(s ? s : "");
}

} // namespace

XmlDocument::XmlDocument()
{
    initLibxml();
    reset();
}

XmlDocument::~XmlDocument()
{
    freeDetached();
    xmlFreeDoc(m_doc);
}

void XmlDocument::freeDetached()
{
    // Read every parent before freeing anything: a detached element may since
    // have been put below another detached one and be freed with it.
    std::sort(m_detached.begin(), m_detached.end());
    m_detached.erase(std::unique(m_detached.begin(), m_detached.end()), m_detached.end());
    std::vector<xmlNode*> loose;
    for (xmlNode* n : m_detached) {
        if (!n->parent)
            loose.push_back(n);
    }
    for (xmlNode* n : loose)
        xmlFreeNode(n);
    m_detached.clear();
}

void XmlDocument::reset()
{
    freeDetached();
    if (m_doc)
        xmlFreeDoc(m_doc);
    m_doc = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
    if (!m_doc)
        throw XmlError("out of memory");
    m_doc->_private = this;
    m_loadFailed = false;
}

std::string XmlDocument::readFile(const std::filesystem::path& path, std::uintmax_t maxBytes)
{
    try {
        return readRegularFile(path, maxBytes);
    } catch (const FileRefused& e) {
        if (e.why() == FileRefused::Why::TooLarge)
            throw XmlError("cannot read " + path.string() + ": it is larger than any file of this kind gets ("
                + std::to_string(maxBytes / 1024) + " KB)");
        throw XmlError("cannot read " + path.string() + ": it is not a regular file");
    } catch (const std::system_error& e) {
        throw XmlError(e.what());
    }
}

void XmlDocument::load(const std::filesystem::path& path, std::uintmax_t maxBytes)
{
    std::string bytes;
    try {
        bytes = readFile(path, maxBytes);
    } catch (const XmlError&) {
        reset();
        m_loadFailed = true;
        throw;
    }
    loadXml(bytes, path.string());
}

void XmlDocument::loadXml(std::string_view bytes, const std::string& sourceName)
{
    reset();
    m_loadFailed = true;
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX))
        throw XmlError(sourceName + " is too large");
    std::unique_ptr<xmlParserCtxt, ParserCtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt)
        throw XmlError("out of memory");
    if (const std::size_t n = mostAttributesInOneTag(bytes); n > kMaxAttributes)
        throw XmlError("cannot read " + sourceName + ": an element has " + std::to_string(n)
            + " attributes, more than any element of the format has");
    xmlDoc* doc = xmlCtxtReadMemory(ctxt.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr,
        readEncodingFor(bytes), kParseOptions);
    if (!doc || !ctxt->wellFormed || !xmlDocGetRootElement(doc)) {
        std::string why = "not well-formed XML";
        int line = 0;
        if (const xmlError* err = xmlCtxtGetLastError(ctxt.get()); err && err->message) {
            why = trimmed(err->message);
            line = err->line;
        }
        if (doc)
            xmlFreeDoc(doc);
        throw XmlError(
            "cannot read " + sourceName + (line > 0 ? ", line " + std::to_string(line) : "") + ": " + why);
    }
    if (doc->intSubset || doc->extSubset) {
        xmlFreeDoc(doc);
        throw XmlError("cannot read " + sourceName
            + ": it has a document type declaration, which no file of this kind has");
    }
    xmlFreeDoc(m_doc);
    m_doc = doc;
    m_doc->_private = this;
    m_loadFailed = false;
}

void XmlDocument::requireLoaded() const
{
    if (m_loadFailed)
        throw XmlError("the document did not load; it is not saved so the file on disk stays as it is");
}

std::string XmlDocument::toBytes() const
{
    requireLoaded();
    if (!xmlDocGetRootElement(m_doc))
        throw XmlError("cannot save a document without a root element");
    // The next start checks the first line byte for byte: always write the
    // plain declaration, whatever the loaded file carried.
    if (!m_doc->version || std::strcmp(reinterpret_cast<const char*>(m_doc->version), "1.0") != 0) {
        if (m_doc->version)
            xmlFree(const_cast<xmlChar*>(m_doc->version));
        m_doc->version = xmlStrdup(reinterpret_cast<const xmlChar*>("1.0"));
    }
    m_doc->standalone = -1;
    xmlChar* mem = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(m_doc, &mem, &size, "GB2312", 1);
    if (!mem)
        throw XmlError("cannot write the document as GB2312");
    std::string out(reinterpret_cast<const char*>(mem), static_cast<std::size_t>(size));
    xmlFree(mem);
    if (out.size() < kDeclaration.size() + 1
        || std::string_view(out).substr(0, kDeclaration.size()) != kDeclaration
        || out[kDeclaration.size()] != '\n')
        throw XmlError("the XML writer did not produce the expected declaration");
    if (mayNotSurviveGb2312(m_doc) && !parses(out))
        throw XmlError("cannot save: the document has names that GB2312 cannot hold");
    return out;
}

void XmlDocument::save(const std::filesystem::path& path) const
{
    const std::string bytes = toBytes();
    try {
        writeFileAtomically(path, bytes);
    } catch (const std::system_error& e) {
        throw XmlError(msg::cannotWriteFile(path.string(), e.code()));
    }
}

XmlNode XmlDocument::documentElement() const
{
    return XmlNode(xmlDocGetRootElement(m_doc));
}

XmlNode XmlDocument::selectSingleNode(std::string_view path) const
{
    if (path.empty() || path.front() != '/')
        throw XmlError("a document path must start with '/': " + std::string(path));
    path.remove_prefix(1);
    const auto slash = path.find('/');
    const XmlNode root = documentElement();
    if (root.isNull() || root.name() != path.substr(0, slash))
        return XmlNode();
    return slash == std::string_view::npos ? root : root.selectSingleNode(path.substr(slash + 1));
}

XmlNode XmlDocument::createElement(std::string_view name)
{
    const std::string n(name);
    if (xmlValidateName(reinterpret_cast<const xmlChar*>(n.c_str()), 0) != 0)
        throw XmlError("not a valid element name: " + n);
    xmlNode* node = xmlNewDocNode(m_doc, nullptr, reinterpret_cast<const xmlChar*>(n.c_str()), nullptr);
    if (!node)
        throw XmlError("out of memory");
    keepDetached(node);
    return XmlNode(node);
}

XmlNode XmlDocument::appendChild(XmlNode element)
{
    if (element.isNull() || element.raw()->doc != m_doc)
        throw XmlError("cannot append an element of another document");
    if (xmlDocGetRootElement(m_doc))
        throw XmlError("the document already has a root element");
    xmlUnlinkNode(element.raw());
    xmlDocSetRootElement(m_doc, element.raw());
    m_loadFailed = false;
    return element;
}

void XmlDocument::keepDetached(_xmlNode* node)
{
    m_detached.push_back(node);
}

} // namespace tarnwick
