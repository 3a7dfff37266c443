#pragma once

#include <optional>
#include <string>
#include <string_view>

struct _xmlNode;

namespace tarnwick
{

class XmlDocument;

// A handle to an element of an XmlDocument; it does not own the element and
// stays valid as long as its document lives (removed elements are kept until
// then). Navigation sees elements only: the white space, comments and stray
// text between elements are kept in the file but never handed to callers, who
// walk a parent's children as if each were a record.
// Every operation on a null handle throws XmlError.
class XmlNode
{
public:
    XmlNode() = default;
    explicit XmlNode(_xmlNode* node)
        : m_node(node)
    {
    }

    bool isNull() const { return m_node == nullptr; }
    explicit operator bool() const { return m_node != nullptr; }
    bool operator==(const XmlNode& other) const = default;

    std::string name() const;
    // The same without a copy; valid as long as the element's document lives.
    std::string_view nameView() const;

    // The first child element with this name, or a null node. A path of
    // several names separated by '/' walks down one level per name.
    XmlNode selectSingleNode(std::string_view path) const;

    bool hasChildNodes() const;
    XmlNode firstChild() const;
    XmlNode lastChild() const;
    XmlNode nextSibling() const;
    XmlNode previousSibling() const;

    std::optional<std::string> attribute(std::string_view name) const;
    // The attribute's text, or empty text when the element has no such attribute.
    std::string attributeText(std::string_view name) const;
    // Sets the attribute, creating it when the element does not carry it yet.
    void setAttribute(std::string_view name, std::string_view value);

    // The text content of the element and everything below it.
    std::string text() const;
    // Replaces the element's content with this one text (taken literally).
    void setText(std::string_view text);

    // Adds `child` as the last child; a child that is elsewhere in the tree moves.
    XmlNode appendChild(XmlNode child);
    // Puts `newChild` where `oldChild` is; returns the removed `oldChild`.
    XmlNode replaceChild(XmlNode newChild, XmlNode oldChild);
    // Takes `child` out of the tree and returns it.
    XmlNode removeChild(XmlNode child);

    // The document the element belongs to.
    XmlDocument& ownerDocument() const;

    _xmlNode* raw() const { return m_node; }

private:
    _xmlNode* checked() const;

    _xmlNode* m_node = nullptr;
};

} // namespace tarnwick
