#include <gtest/gtest.h>

#include <filesystem>

#include "xml/GmXml.h"
#include "xml/XmlTestUtil.h"

namespace flashsmith {
using namespace flashsmith::xml;
namespace {

TEST(GmXmlTree, CursorBuildsTopDownAndAddStaysWhereItIs) {
    TGmXML doc;
    TGmXmlNodeList& nodes = doc.Nodes();
    EXPECT_EQ(nodes.Owner(), nullptr);
    EXPECT_EQ(nodes.CurrentNode(), nullptr);

    TGmXmlNode& root = nodes.AddOpenElement("root a=\"1\"");
    EXPECT_EQ(nodes.CurrentNode(), &root);
    TGmXmlNode& leaf = nodes.Add("leaf x=\"y\"");  // goes under root, not at top level
    EXPECT_EQ(nodes.CurrentNode(), &root);
    EXPECT_EQ(leaf.Parent(), &root);
    EXPECT_EQ(leaf.Level(), 1u);
    EXPECT_EQ(leaf.Attributes().AttributeByName("x")->Value(), "y");
    ASSERT_EQ(nodes.Count(), 1u);
    ASSERT_EQ(root.Children().Count(), 1u);

    TGmXmlNode& inner = nodes.AddOpenElement("inner");
    TGmXmlNode& deep = nodes.Add("deep");
    EXPECT_EQ(deep.Level(), 2u);
    nodes.CloseElement();
    nodes.CloseElement();
    EXPECT_EQ(nodes.CurrentNode(), nullptr);
    nodes.CloseElement();  // nothing open: stays at the top
    EXPECT_EQ(nodes.CurrentNode(), nullptr);
    nodes.Add("second");
    EXPECT_EQ(nodes.Count(), 2u);

    // An element's own list adds direct children, and its cursor never
    // climbs above its owner.
    inner.Children().CloseElement();
    inner.Children().CloseElement();
    TGmXmlNode& direct = inner.Children().Add("direct");
    EXPECT_EQ(direct.Parent(), &inner);
    EXPECT_EQ(inner.Children().Count(), 2u);
    EXPECT_EQ(root.Children().Count(), 2u);

    EXPECT_EQ(root.Children().NodeByName("inner"), &inner);
    EXPECT_EQ(root.Children().NodeByName("Inner"), nullptr);
    EXPECT_EQ(root.Children().NodeByName("deep"), nullptr);  // not a descendant search
    EXPECT_FALSE(root.IsEmpty());
    EXPECT_TRUE(deep.IsEmpty());
    deep.SetValue("x");
    EXPECT_FALSE(deep.IsEmpty());
}

TEST(GmXmlTree, NodeByNameFindsTheFirstOfEqualNames) {
    TGmXML doc;
    TGmXmlNode& first = doc.Nodes().Add("dup");
    doc.Nodes().Add("dup");
    EXPECT_EQ(doc.Nodes().NodeByName("dup"), &first);
}

TEST(GmXmlTree, ClearingAListBringsStrayCursorsBack) {
    TGmXML doc;
    TGmXmlNodeList& nodes = doc.Nodes();
    TGmXmlNode& root = nodes.AddOpenElement("root");
    TGmXmlNode& mid = nodes.AddOpenElement("mid");
    nodes.AddOpenElement("inner");  // the document cursor now lies below mid
    mid.Children().AddOpenElement("other");
    mid.Children().Clear();
    EXPECT_EQ(mid.Children().Count(), 0u);
    EXPECT_EQ(nodes.CurrentNode(), &mid);
    EXPECT_EQ(mid.Children().CurrentNode(), &mid);
    nodes.Add("after");
    ASSERT_EQ(mid.Children().Count(), 1u);

    nodes.CloseElement();
    EXPECT_EQ(nodes.CurrentNode(), &root);
    nodes.Clear();
    EXPECT_EQ(nodes.Count(), 0u);
    EXPECT_EQ(nodes.CurrentNode(), nullptr);
    nodes.Add("fresh");
    EXPECT_EQ(nodes.Count(), 1u);
}

TEST(GmXmlTree, AttributesAreTrimmedAndSetByName) {
    TGmXmlAttributeList list;
    TGmXmlAttribute& a = list.SetAttribute("  name\t", " \r\nvalue \x01");
    EXPECT_EQ(a.Name(), "name");
    EXPECT_EQ(a.Value(), "value");
    EXPECT_EQ(list.LastCreated(), &a);
    TGmXmlAttribute& again = list.SetAttribute("name ", "  other ");
    EXPECT_EQ(&again, &a);
    EXPECT_EQ(a.Value(), "other");
    EXPECT_EQ(list.Count(), 1u);
    list.SetAttribute("Name", "case differs");
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.AttributeByName("NAME"), nullptr);
    EXPECT_EQ(list.LastCreated()->Name(), "Name");
    a.SetValue("  inner  blanks kept ");
    EXPECT_EQ(a.Value(), "inner  blanks kept");
}

TEST(GmXmlTree, LongAttributeListsStillFindByNameAfterRenames) {
    TGmXmlAttributeList list;
    for (int i = 0; i < 100; ++i) list.SetAttribute("a" + std::to_string(i), std::to_string(i));
    EXPECT_EQ(list.AttributeByName("a57")->Value(), "57");
    list.SetAttribute("a57", "changed");
    EXPECT_EQ(list.Count(), 100u);
    EXPECT_EQ(list.Attribute(57).Value(), "changed");
    list.Attribute(3).SetName("renamed");
    EXPECT_EQ(list.AttributeByName("a3"), nullptr);
    EXPECT_EQ(list.AttributeByName("renamed"), &list.Attribute(3));
    // A rename onto an existing name: look-ups return the first.
    list.Attribute(90).SetName("a10");
    EXPECT_EQ(list.AttributeByName("a10"), &list.Attribute(10));
    list.SetAttribute("new", "v");
    EXPECT_EQ(list.AttributeByName("new")->Value(), "v");
    EXPECT_EQ(list.Count(), 101u);
}

TEST(GmXmlTree, ManyAttributesInOneTagReadInOneAttributeEach) {
    std::string tag = "<e";
    for (int i = 0; i < 50000; ++i) tag += " k" + std::to_string(i % 25000) + "=\"" + std::to_string(i) + "\"";
    tag += "/>";
    TGmXML doc;
    doc.SetText(tag);
    const TGmXmlAttributeList& attrs = doc.Nodes().Node(0).Attributes();
    EXPECT_EQ(attrs.Count(), 25000u);
    EXPECT_EQ(attrs.AttributeByName("k7")->Value(), "25007");
}

TEST(GmXmlTree, AboutNamesClassAndVersion) {
    TGmXML doc;
    EXPECT_EQ(doc.About(), "TGmXML v0.12");
}

TEST(GmXmlFile, SaveReplacesAtomicallyAndLoadReadsBack) {
    TempDir dir;
    const std::string path = dir.Path("Mirel.ini");
    WriteFile(path, "old contents");

    TGmXML doc;
    doc.Nodes().AddOpenElement("Options installed=\"1\"");
    doc.Nodes().Add("Language").SetValue("Russian \xD0\xF3\xF1");
    const base::Status saved = doc.SaveFile(path);
    ASSERT_TRUE(saved) << saved.Error();
    EXPECT_EQ(ReadFile(path), doc.Text());
    // Nothing but the target is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Str()), {}), 1);

    TGmXML back;
    const base::Status loaded = back.LoadFile(path);
    ASSERT_TRUE(loaded) << loaded.Error();
    EXPECT_EQ(back.Text(), doc.Text());

    // An empty file loads and leaves the tree as it was.
    WriteFile(dir.Path("empty"), "");
    ASSERT_TRUE(back.LoadFile(dir.Path("empty")));
    EXPECT_EQ(back.Nodes().Count(), 1u);

    // An empty document saves as a file without any bytes.
    TGmXML none;
    ASSERT_TRUE(none.SaveFile(path));
    EXPECT_EQ(ReadFile(path), "");
}

TEST(GmXmlFile, FailuresAreReportedAndChangeNothing) {
    TempDir dir;
    TGmXML doc;
    doc.SetText("<keep/>");
    base::Status s = doc.LoadFile(dir.Path("missing.spf"));
    EXPECT_FALSE(s);
    EXPECT_NE(s.Error().find("missing.spf"), std::string::npos);
    EXPECT_EQ(doc.Nodes().Node(0).Name(), "keep");

    s = doc.SaveFile(dir.Path("no/such/folder/x.xml"));
    EXPECT_FALSE(s);
    EXPECT_FALSE(s.Error().empty());

    // A folder cannot be read as a document.
    s = doc.LoadFile(dir.Str());
    EXPECT_FALSE(s);
    EXPECT_FALSE(s.Error().empty());
    EXPECT_EQ(doc.Nodes().Node(0).Name(), "keep");

    // Saving over a folder fails and leaves no temporary behind.
    std::filesystem::create_directory(dir.Path("sub"));
    EXPECT_FALSE(doc.SaveFile(dir.Path("sub")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Str()), {}), 1);
}

}  // namespace
}  // namespace flashsmith
