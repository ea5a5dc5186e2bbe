#include <gtest/gtest.h>

#include <sstream>

#include "xml/GmXml.h"
#include "xml/XmlTestUtil.h"

namespace flashsmith {
using namespace flashsmith::xml;
namespace {

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"Windows-1251\" ?>";

std::string Saved(const TGmXML& doc) {
    std::ostringstream out;
    EXPECT_TRUE(doc.SaveStream(out));
    return out.str();
}

TEST(GmXmlWriter, EmptyDocumentWritesNothingAtAll) {
    TGmXML doc;
    EXPECT_EQ(doc.Text(), "");
    EXPECT_EQ(Saved(doc), "");
    doc.SetFormatted(false);
    EXPECT_EQ(Saved(doc), "");
}

TEST(GmXmlWriter, SettingsExampleLayoutByteForByte) {
    TGmXML doc;
    EXPECT_TRUE(doc.Formatted());
    TGmXmlNode& options = doc.Nodes().AddOpenElement("Options");
    options.Attributes().SetAttribute("installed", "1");
    doc.Nodes().Add("Language");
    doc.Nodes().CloseElement();

    const std::string expected = kDecl + "\r\n<Options installed=\"1\">\r\n  <Language />\r\n</Options>\r\n";
    EXPECT_EQ(doc.Text(), expected);
    EXPECT_EQ(Saved(doc), expected);
    EXPECT_EQ(options.OpenTagText(), "<Options installed=\"1\">");
    EXPECT_EQ(options.Children().Node(0).OpenTagText(), "<Language />");
    EXPECT_EQ(options.CloseTagText(), "</Options>");
}

TEST(GmXmlWriter, TextChildrenAndMixedNodesAndIndentation) {
    TGmXML doc;
    TGmXmlNodeList& nodes = doc.Nodes();
    nodes.AddOpenElement("a");
    nodes.AddOpenElement("b");
    nodes.Add("c").SetValue("text");
    nodes.CloseElement();
    TGmXmlNode& mixed = nodes.AddOpenElement("m");
    mixed.SetValue("v");
    nodes.Add("k");
    nodes.CloseElement();
    nodes.CloseElement();
    nodes.Add("second");

    EXPECT_EQ(doc.Text(), kDecl +
                              "\r\n<a>\r\n"
                              "  <b>\r\n"
                              "    <c>text</c>\r\n"
                              "  </b>\r\n"
                              "  <m>v    <k />\r\n"
                              "</m>\r\n"
                              "</a>\r\n"
                              "<second />\r\n");

    doc.SetFormatted(false);
    const std::string flat = kDecl + "<a><b><c>text</c></b><m>v<k /></m></a><second />";
    EXPECT_EQ(doc.Text(), flat);
    // Saving writes the text as lines, so the single line gets its CR LF.
    EXPECT_EQ(Saved(doc), flat + "\r\n");
}

TEST(GmXmlWriter, EscapesInOrderAndKeepsApostropheAndNames) {
    TGmXML doc;
    TGmXmlNode& n = doc.Nodes().Add("e");
    n.SetValue("a&b<c>d\"e'f&amp;");
    n.Attributes().SetAttribute("q", "say \"hi\" & <go>");
    EXPECT_EQ(n.OpenTagText(), "<e q=\"say &quot;hi&quot; &amp; &lt;go&gt;\">");
    EXPECT_EQ(doc.Text(), kDecl + "\r\n<e q=\"say &quot;hi&quot; &amp; &lt;go&gt;\">"
                                  "a&amp;b&lt;c&gt;d&quot;e'f&amp;amp;</e>\r\n");
    EXPECT_EQ(GmXmlEscape("&<>\"'"), "&amp;&lt;&gt;&quot;'");
}

TEST(GmXmlWriter, LineBreaksInValuesBecomeCrLfOnlyWhenSaved) {
    TGmXML doc;
    doc.Nodes().Add("t").SetValue("1\n2\r3\r\n4\n\r5");
    const std::string text = doc.Text();
    EXPECT_NE(text.find("<t>1\n2\r3\r\n4\n\r5</t>"), std::string::npos);
    const std::string saved = Saved(doc);
    EXPECT_EQ(saved, kDecl + "\r\n<t>1\r\n2\r\n3\r\n4\r\n\r\n5</t>\r\n");

    // A value ending in a lone CR at the very end of a flat document: one
    // line break, not two.
    TGmXML flat;
    flat.SetFormatted(false);
    flat.Nodes().Add("x").Attributes().SetAttribute("v", "a");
    EXPECT_EQ(Saved(flat), kDecl + "<x v=\"a\" />\r\n");
}

TEST(GmXmlWriter, IndentationStopsGrowingOnAbsurdDepth) {
    TGmXML doc;
    const size_t depth = 5000;
    for (size_t i = 0; i < depth; ++i) doc.Nodes().AddOpenElement("d");
    std::string text = doc.Text();
    // Linear in the depth: capped indentation keeps each line short.
    EXPECT_LT(text.size(), depth * 2 * (12 + 200));
    EXPECT_NE(text.find(std::string(200, ' ') + "<d />"), std::string::npos);
    EXPECT_EQ(text.find(std::string(202, ' ')), std::string::npos);
}

TEST(GmXmlWriter, OutputIsWellFormedForXmllint) {
    TGmXML doc;
    TGmXmlNodeList& n = doc.Nodes();
    n.AddOpenElement("patch version=\"1.0a\"");
    TGmXmlNode& info = n.AddOpenElement("info");
    info.Attributes().SetAttribute("name", "a \"quoted\" & <odd> 'name'");
    info.Attributes().SetAttribute("group", "");
    // Windows-1251 letters, kept as bytes.
    info.Attributes().SetAttribute("version", "\xCF\xF0\xE8\xE2\xE5\xF2 1.0");
    n.Add("about").Attributes().SetAttribute("description", "line1\nline2\r\nline3");
    n.CloseElement();
    TGmXmlNode& text = n.Add("text");
    text.SetValue("x < y && y > z");
    TGmXmlNode& mixed = n.AddOpenElement("mixed");
    mixed.SetValue("v");
    n.Add("child");
    n.CloseElement();
    n.CloseElement();

    for (bool formatted : {true, false}) {
        doc.SetFormatted(formatted);
        TempDir dir;
        std::string path = dir.Path("doc.xml");
        const base::Status saved = doc.SaveFile(path);
        ASSERT_TRUE(saved) << saved.Error();
        EXPECT_EQ(RunXmllint(path), 0) << ReadFile(path);
    }
}

}  // namespace
}  // namespace flashsmith
