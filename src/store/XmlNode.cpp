#include "store/XmlNode.h"

#include "store/XmlDocument.h"
#include "store/XmlError.h"

#include <libxml/tree.h>

#include <cstring>

namespace tarnwick
{
namespace
{

const xmlChar* xml(const std::string& s)
{
    return reinterpret_cast<const xmlChar*>(s.c_str());
}

std::string_view view(const xmlChar* s)
{
    return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

xmlNode* elementFrom(xmlNode* n, bool forward)
{
    while (n && n->type != XML_ELEMENT_NODE)
        n = forward ? n->next : n->prev;
    return n;
}

XmlDocument& owner(xmlNode* n)
{
    return *static_cast<XmlDocument*>(n->doc->_private);
}

void requireElement(XmlNode n)
{
    if (n.isNull())
        throw XmlError("XML operation on a missing node");
    if (n.raw()->type != XML_ELEMENT_NODE)
        throw XmlError("XML operation on a node that is not an element");
}

} // namespace

xmlNode* XmlNode::checked() const
{
    requireElement(*this);
    return m_node;
}

XmlDocument& XmlNode::ownerDocument() const
{
    return owner(checked());
}

std::string XmlNode::name() const
{
    return std::string(view(checked()->name));
}

std::string_view XmlNode::nameView() const
{
    return view(checked()->name);
}

XmlNode XmlNode::selectSingleNode(std::string_view path) const
{
    xmlNode* cur = checked();
    while (!path.empty()) {
        const auto slash = path.find('/');
        const std::string_view step = path.substr(0, slash);
        xmlNode* c = elementFrom(cur->children, true);
        while (c && view(c->name) != step)
            c = elementFrom(c->next, true);
        if (!c)
            return XmlNode();
        cur = c;
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    return XmlNode(cur);
}

bool XmlNode::hasChildNodes() const
{
    return elementFrom(checked()->children, true) != nullptr;
}

XmlNode XmlNode::firstChild() const
{
    return XmlNode(elementFrom(checked()->children, true));
}

XmlNode XmlNode::lastChild() const
{
    return XmlNode(elementFrom(checked()->last, false));
}

XmlNode XmlNode::nextSibling() const
{
    return XmlNode(elementFrom(checked()->next, true));
}

XmlNode XmlNode::previousSibling() const
{
    return XmlNode(elementFrom(checked()->prev, false));
}

std::optional<std::string> XmlNode::attribute(std::string_view name) const
{
    const std::string key(name);
    xmlAttr* a = xmlHasProp(checked(), xml(key));
    if (!a)
        return std::nullopt;
    // Attribute values are almost always one text node; read it without a copy.
    if (a->children && !a->children->next && a->children->type == XML_TEXT_NODE)
        return std::string(view(a->children->content));
    xmlChar* v = xmlNodeListGetString(a->doc, a->children, 1);
    std::string out(view(v));
    xmlFree(v);
    return out;
}

std::string XmlNode::attributeText(std::string_view name) const
{
    return attribute(name).value_or(std::string());
}

void XmlNode::setAttribute(std::string_view name, std::string_view value)
{
    const std::string key(name);
    const std::string val(value);
    if (std::memchr(val.data(), 0, val.size()) || std::memchr(key.data(), 0, key.size()))
        throw XmlError("XML text cannot hold a NUL character");
    // xmlSetProp stores the value literally; the writer escapes it.
    if (!xmlSetProp(checked(), xml(key), xml(val)))
        throw XmlError("cannot set the attribute " + key);
}

std::string XmlNode::text() const
{
    xmlNode* n = checked();
    // The common case, an element holding one text node, without a copy.
    if (n->children && !n->children->next && n->children->type == XML_TEXT_NODE)
        return std::string(view(n->children->content));
    xmlChar* c = xmlNodeGetContent(n);
    std::string out(view(c));
    xmlFree(c);
    return out;
}

void XmlNode::setText(std::string_view text)
{
    xmlNode* n = checked();
    const std::string val(text);
    if (std::memchr(val.data(), 0, val.size()))
        throw XmlError("XML text cannot hold a NUL character");
    while (xmlNode* c = n->children) {
        xmlUnlinkNode(c);
        if (c->type == XML_ELEMENT_NODE)
            owner(n).keepDetached(c); // a caller may still hold a handle to it
        else
            xmlFreeNode(c);
    }
    if (!val.empty()) {
        xmlNode* t = xmlNewDocText(n->doc, xml(val));
        if (!t || !xmlAddChild(n, t))
            throw XmlError("out of memory");
    }
}

XmlNode XmlNode::appendChild(XmlNode child)
{
    xmlNode* parent = checked();
    xmlNode* c = child.checked();
    if (c->doc != parent->doc)
        throw XmlError("cannot append an element of another document");
    for (xmlNode* p = parent; p; p = p->parent) {
        if (p == c)
            throw XmlError("cannot append an element to itself or below itself");
    }
    xmlUnlinkNode(c);
    xmlAddChild(parent, c);
    return child;
}

XmlNode XmlNode::replaceChild(XmlNode newChild, XmlNode oldChild)
{
    xmlNode* parent = checked();
    xmlNode* oldNode = oldChild.checked();
    xmlNode* newNode = newChild.checked();
    if (oldNode->parent != parent)
        throw XmlError("the element to replace is not a child of " + name());
    if (newNode == oldNode)
        return oldChild;
    if (newNode->doc != parent->doc)
        throw XmlError("cannot insert an element of another document");
    for (xmlNode* p = parent; p; p = p->parent) {
        if (p == newNode)
            throw XmlError("cannot insert an element below itself");
    }
    xmlUnlinkNode(newNode);
    xmlReplaceNode(oldNode, newNode);
    owner(parent).keepDetached(oldNode);
    return oldChild;
}

XmlNode XmlNode::removeChild(XmlNode child)
{
    xmlNode* parent = checked();
    xmlNode* c = child.checked();
    if (c->parent != parent)
        throw XmlError("the element to remove is not a child of " + name());
    xmlUnlinkNode(c);
    owner(parent).keepDetached(c);
    return child;
}

} // namespace tarnwick
