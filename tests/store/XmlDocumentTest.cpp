#include "store/XmlDocument.h"
#include "StoreTestUtil.h"
#include "TempDir.h"
#include "base/TextCodec.h"
#include "store/ConfigFile.h"
#include "store/XmlError.h"

#include <gtest/gtest.h>

using namespace tarnwick;
using namespace tarnwick::test;

namespace
{

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"GB2312\"?>";

std::string firstLine(const std::string& bytes)
{
    return bytes.substr(0, bytes.find('\n'));
}

} // namespace

TEST(XmlDocument, SavedFilesStartWithTheExactDeclarationWhateverWasLoaded)
{
    const struct {
        const char* what;
        std::string input;
    } cases[] = {
        { "our own declaration", kDecl + "\n<ConfigBox LastID=\"1\"/>" },
        { "lower-case encoding", "<?xml version=\"1.0\" encoding=\"gb2312\"?><ConfigBox LastID=\"1\"/>" },
        { "utf-8 file", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ConfigBox LastID=\"1\"/>" },
        { "standalone",
            "<?xml version=\"1.0\" encoding=\"GB2312\" standalone=\"yes\"?><ConfigBox LastID=\"1\"/>" },
        { "version 1.1", "<?xml version=\"1.1\" encoding=\"GB2312\"?><ConfigBox LastID=\"1\"/>" },
        { "no declaration", "<ConfigBox LastID=\"1\"/>" },
        { "byte-order mark",
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><ConfigBox LastID=\"1\"/>" },
    };
    TempDir dir;
    for (const auto& c : cases) {
        XmlDocument doc;
        doc.loadXml(c.input);
        doc.save(dir / "out.xml");
        const std::string saved = readBytes(dir / "out.xml");
        EXPECT_EQ(firstLine(saved), kDecl) << c.what;
        // What the next start checks byte for byte: the saved file passes.
        RecordingSink sink;
        EXPECT_EQ(checkConfigFile((dir / "out.xml").string(), sink), ConfigCheck::Valid) << c.what;
        XmlDocument back;
        back.load(dir / "out.xml");
        EXPECT_EQ(back.selectSingleNode("/ConfigBox").attributeText("LastID"), "1") << c.what;
    }
}

TEST(XmlDocument, TextsRoundTripThroughGb2312)
{
    const char* texts[] = {
        "家里的网络", // plain GB2312
        "王喆", // 喆 is not in GB2312
        "€ 5 \xF0\x9F\x98\x80", // euro sign and an emoji, neither in GB2312
        "<&>\"' quotes", // markup characters
        "  blanks kept  ", // no trimming on the way through
        "", // empty
    };
    TempDir dir;
    for (const char* t : texts) {
        {
            XmlDocument doc;
            XmlNode root = doc.appendChild(doc.createElement("ConfigBox"));
            XmlNode name = root.appendChild(doc.createElement("NAME"));
            name.setText(t);
            name.setAttribute("Note", t);
            doc.save(dir / "t.xml");
        }
        const std::string bytes = readBytes(dir / "t.xml");
        // Characters GB2312 lacks were written as character references.
        EXPECT_TRUE(isPureGb2312(bytes)) << t;
        XmlDocument doc;
        doc.load(dir / "t.xml");
        const XmlNode name = doc.selectSingleNode("/ConfigBox/NAME");
        EXPECT_EQ(name.text(), t);
        EXPECT_EQ(name.attributeText("Note"), t);
    }
}

TEST(XmlDocument, FilesDeclaredGb2312ButWrittenWithGbkReadWhole)
{
    XmlDocument doc;
    doc.load(dataFile("config-gbk-name.xml"));
    EXPECT_EQ(doc.selectSingleNode("/ConfigBox").firstChild().selectSingleNode("NAME").text(), "王喆的家");
}

TEST(XmlDocument, NavigationSeesElementsOnly)
{
    XmlDocument doc;
    doc.loadXml(
        kDecl + "\n<ConfigBox>\n  <!-- c -->\n  <A>a</A>\n  text\n  <B> </B>\n  <?pi x?>\n</ConfigBox>\n");
    const XmlNode root = doc.selectSingleNode("/ConfigBox");
    ASSERT_TRUE(root.hasChildNodes());
    EXPECT_EQ(root.firstChild().name(), "A");
    EXPECT_EQ(root.lastChild().name(), "B");
    EXPECT_EQ(root.firstChild().nextSibling().name(), "B");
    EXPECT_TRUE(root.lastChild().nextSibling().isNull());
    EXPECT_EQ(root.lastChild().previousSibling().name(), "A");
    EXPECT_TRUE(root.firstChild().previousSibling().isNull());
    // A blank-only text inside an element is content, not layout.
    EXPECT_EQ(root.lastChild().text(), " ");
    EXPECT_FALSE(root.firstChild().hasChildNodes());
    EXPECT_TRUE(doc.selectSingleNode("/Other").isNull());
    EXPECT_TRUE(root.selectSingleNode("C").isNull());

    XmlDocument empty;
    empty.loadXml("<ConfigBox>\n   \n</ConfigBox>");
    EXPECT_FALSE(empty.documentElement().hasChildNodes());
}

TEST(XmlDocument, TreeEditsKeepWhatTheyDoNotTouch)
{
    TempDir dir;
    const auto path = copyFixture("config-unknown-parts.xml", dir.path());
    {
        XmlDocument doc;
        doc.load(path);
        XmlNode box = doc.selectSingleNode("/ConfigBox");
        box.setAttribute("LastOpenTime", "2026-12-10 14:03:05");
        box.firstChild().selectSingleNode("NAME").setText("新名字");
        doc.save(path);
    }
    XmlDocument doc;
    doc.load(path);
    XmlNode box = doc.selectSingleNode("/ConfigBox");
    EXPECT_EQ(box.attributeText("Owner"), "阿明");
    EXPECT_EQ(box.attributeText("Version"), "7");
    EXPECT_EQ(box.attributeText("LastOpenTime"), "2026-12-10 14:03:05");
    XmlNode rec = box.firstChild();
    EXPECT_EQ(rec.attributeText("Colour"), "blue");
    EXPECT_EQ(rec.selectSingleNode("NAME").text(), "新名字");
    EXPECT_EQ(rec.selectSingleNode("NOTE").text(), "手写备注 & more");
    EXPECT_EQ(rec.selectSingleNode("NOTE").attributeText("lang"), "zh");
    const std::string bytes = gbToUtf8(readBytes(path));
    EXPECT_NE(bytes.find("<!-- kept by hand -->"), std::string::npos);
    EXPECT_NE(bytes.find("<!-- between records -->"), std::string::npos);
}

TEST(XmlDocument, AppendReplaceAndRemoveChildren)
{
    XmlDocument doc;
    doc.loadXml("<R><A/><B/><C/></R>");
    XmlNode r = doc.documentElement();
    XmlNode removed = r.removeChild(r.selectSingleNode("B"));
    XmlNode d = doc.createElement("D");
    XmlNode replaced = r.replaceChild(d, r.firstChild());
    r.appendChild(doc.createElement("E"));
    EXPECT_EQ(doc.toBytes(), kDecl + "\n<R>\n  <D/>\n  <C/>\n  <E/>\n</R>\n");
    // Handles to elements taken out of the tree stay usable.
    EXPECT_EQ(removed.name(), "B");
    EXPECT_EQ(replaced.name(), "A");
    r.appendChild(removed);
    EXPECT_EQ(r.lastChild().name(), "B");
    // Moving an element that is in the tree moves it, it does not copy it.
    r.appendChild(r.firstChild());
    EXPECT_EQ(doc.toBytes(), kDecl + "\n<R>\n  <C/>\n  <E/>\n  <B/>\n  <D/>\n</R>\n");
    // Replacing an element's text drops its child elements from the tree.
    XmlNode c = r.firstChild();
    c.appendChild(doc.createElement("Inner"));
    c.setText("plain");
    EXPECT_FALSE(c.hasChildNodes());
    EXPECT_EQ(c.text(), "plain");
}

TEST(XmlDocument, MisuseRaisesErrorsInsteadOfCrashing)
{
    XmlDocument doc;
    doc.loadXml("<R><A/></R>");
    XmlNode r = doc.documentElement();
    const XmlNode none;
    EXPECT_THROW((void)none.text(), XmlError);
    EXPECT_THROW((void)none.firstChild(), XmlError);
    EXPECT_THROW(r.removeChild(r), XmlError);
    EXPECT_THROW(r.firstChild().appendChild(r), XmlError);
    EXPECT_THROW(doc.createElement("bad name"), XmlError);
    EXPECT_THROW(r.setText(std::string("a\0b", 3)), XmlError);
    XmlDocument other;
    other.loadXml("<O/>");
    EXPECT_THROW(r.appendChild(other.documentElement()), XmlError);
    XmlDocument empty;
    EXPECT_THROW(empty.toBytes(), XmlError);
}

TEST(XmlDocument, AFileThatDoesNotParseIsReportedAndNeverSaved)
{
    TempDir dir;
    const auto path = copyFixture("config-truncated.xml", dir.path());
    const std::string before = readBytes(path);
    XmlDocument doc;
    try {
        doc.load(path);
        FAIL() << "a truncated file loaded";
    } catch (const XmlError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(path.string()), std::string::npos) << what;
        EXPECT_NE(what.find("line"), std::string::npos) << what;
    }
    EXPECT_THROW(doc.save(path), XmlError);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(fileNames(dir.path()), std::vector<std::string> { "config-truncated.xml" });

    for (const std::string& bad :
        { std::string(), std::string("   "), std::string("<a><b></a>"), kDecl + "\n" }) {
        XmlDocument d;
        EXPECT_THROW(d.loadXml(bad), XmlError) << bad;
    }
    XmlDocument missing;
    EXPECT_THROW(missing.load(dir / "nope.xml"), XmlError);
}

TEST(XmlDocument, DocumentTypeDeclarationsAreRefusedWithoutFetchingOrExpandingAnything)
{
    // A hostile file must not make the loader fetch anything or blow up; the
    // formats have no DTD, so any file with one is refused.
    for (const char* xml :
        { "<?xml version=\"1.0\"?><!DOCTYPE R [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><R><A>&x;</A></R>",
            "<?xml version=\"1.0\"?><!DOCTYPE R SYSTEM \"http://192.0.2.1/r.dtd\"><R/>",
            "<?xml version=\"1.0\"?><!DOCTYPE R [<!ENTITY a \"aaaa\"><!ENTITY b "
            "\"&a;&a;&a;\">]><R>&b;</R>" }) {
        XmlDocument doc;
        try {
            doc.loadXml(xml);
            ADD_FAILURE() << "loaded: " << xml;
        } catch (const XmlError& e) {
            EXPECT_NE(std::string(e.what()).find("document type declaration"), std::string::npos) << e.what();
        }
        EXPECT_THROW(doc.toBytes(), XmlError) << "a refused file is never written back";
    }
}

TEST(XmlDocument, WhatCannotBeWrittenInGb2312IsRefusedOrEscaped)
{
    // CDATA is read as plain text, so its characters can be escaped on save.
    XmlDocument doc;
    doc.loadXml("<?xml version=\"1.0\" encoding=\"UTF-8\"?><R><A><![CDATA[a€<b]]></A></R>");
    XmlDocument back;
    back.loadXml(doc.toBytes());
    EXPECT_EQ(back.documentElement().firstChild().text(), "a€<b");

    // Chinese names GB2312 holds are fine.
    doc.loadXml("<?xml version=\"1.0\" encoding=\"UTF-8\"?><R 属性=\"1\"><名字>x</名字></R>");
    back.loadXml(doc.toBytes());
    EXPECT_EQ(back.documentElement().selectSingleNode("名字").text(), "x");
    EXPECT_EQ(back.documentElement().attributeText("属性"), "1");

    // A name GB2312 lacks cannot become a character reference: refuse to save
    // rather than write a file that does not load.
    for (const char* xml : { "<R L€=\"1\"/>", "<R><喆/></R>", "<R><?pi€ x?></R>" }) {
        XmlDocument d;
        d.loadXml(std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") + xml);
        EXPECT_THROW(d.toBytes(), XmlError) << xml;
    }
}
