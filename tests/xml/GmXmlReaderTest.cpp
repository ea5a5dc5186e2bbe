#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "base/Text.h"
#include "xml/GmXml.h"
#include "xml/XmlTestUtil.h"

namespace flashsmith {
using namespace flashsmith::base;
using namespace flashsmith::xml;
namespace {

const TGmXmlNode& Top(const TGmXML& doc, size_t i = 0) { return doc.Nodes().Node(i); }

std::string Attr(const TGmXmlNode& n, const std::string& name) {
    const TGmXmlAttribute* a = n.Attributes().AttributeByName(name);
    return a ? a->Value() : "<absent>";
}

TEST(GmXmlReader, KeepsOnlyTextThatIsAnElementsWholeContent) {
    TGmXML doc;
    doc.SetText("<?xml version=\"1.0\" encoding=\"Windows-1251\" ?>\r\n"
                "<r>\r\n"
                "  <t>   spaced text \t </t>\r\n"
                "  <blanks>   <c/></blanks>\r\n"
                "  <lead>text<c /></lead>\r\n"
                "  <mixed>v<k /></mixed>\r\n"
                "</r>\r\n");
    ASSERT_EQ(doc.Nodes().Count(), 1u);
    const TGmXmlNode& r = Top(doc);
    EXPECT_EQ(r.Name(), "r");
    EXPECT_EQ(r.Value(), "");  // indentation between elements is dropped
    ASSERT_EQ(r.Children().Count(), 4u);
    EXPECT_EQ(r.Children().Node(0).Value(), "spaced text");
    for (size_t i = 1; i < 4; ++i) {
        const TGmXmlNode& n = r.Children().Node(i);
        EXPECT_EQ(n.Value(), "") << n.Name();
        ASSERT_EQ(n.Children().Count(), 1u) << n.Name();
    }
    EXPECT_EQ(r.Children().Node(3).Children().Node(0).Name(), "k");
}

TEST(GmXmlReader, LineBreaksAreRemovedNotTurnedIntoBlanks) {
    TGmXML doc;
    doc.SetText("<a\r\n x=\"1\r\n2\">te\nxt\r\n  more</a><b\ny=\"3\"/>");
    ASSERT_EQ(doc.Nodes().Count(), 2u);
    EXPECT_EQ(Top(doc).Name(), "a");
    EXPECT_EQ(Attr(Top(doc), "x"), "12");
    EXPECT_EQ(Top(doc).Value(), "text  more");
    // "<b" and "y=" are joined without a blank: the tag has no blank before
    // its attribute, so its name is empty.
    EXPECT_EQ(Top(doc, 1).Name(), "");
    EXPECT_EQ(Attr(Top(doc, 1), "by"), "3");
}

TEST(GmXmlReader, CutsTagsIntoNameAndAttributes) {
    struct Case {
        const char* tag;
        const char* name;
        std::vector<std::pair<std::string, std::string>> attrs;
    } cases[] = {
        {"<e a = \"1\"b=\"2\">", "e", {{"a", "1"}, {"b", "2"}}},
        {"<e  a=\"  padded  \" />", "e", {{"a", "padded"}}},
        {"<e a='1' b=\"2\">", "e", {}},             // single quotes end the scan
        {"<e a=\"1\" b='2' c=\"3\">", "e", {{"a", "1"}}},
        {"<e a=\"1\" a=\"2\">", "e", {{"a", "2"}}},  // repeated name: last value
        {"<e a=\"x y\"b=\"2\">", "e", {{"a", "x y"}, {"b", "2"}}},
        {"<e a=1 b=\"2\">", "e", {}},               // unquoted value ends the scan
        {"<e a=\"unterminated>", "e", {}},
        {"<e a=\"p=q\" b=\"r\">", "e", {{"a", "p=q"}, {"b", "r"}}},
        {"<plain name>", "plain name", {}},         // no "=": the whole text is the name
        {"<a=\"1\">", "", {{"a", "1"}}},            // no blank before the attribute
        // The scan first drops the text before the first blank.
        {"<a=\"1\" b=\"2\">", "a=\"1\"", {{"b", "2"}}},
        {"<>", "", {}},
        {"< spaced >", "spaced", {}},
        {"<e a=\"1\"/>", "e", {{"a", "1"}}},
    };
    for (const Case& c : cases) {
        TGmXML doc;
        doc.SetText(c.tag);
        ASSERT_EQ(doc.Nodes().Count(), 1u) << c.tag;
        const TGmXmlNode& n = Top(doc);
        EXPECT_EQ(n.Name(), c.name) << c.tag;
        ASSERT_EQ(n.Attributes().Count(), c.attrs.size()) << c.tag;
        for (size_t i = 0; i < c.attrs.size(); ++i) {
            EXPECT_EQ(n.Attributes().Attribute(i).Name(), c.attrs[i].first) << c.tag;
            EXPECT_EQ(n.Attributes().Attribute(i).Value(), c.attrs[i].second) << c.tag;
        }
    }
}

TEST(GmXmlReader, DecodesTheFourEntitiesOnceInAnyCase) {
    TGmXML doc;
    doc.SetText("<e v=\"&AMP;lt; &Quot;x&quot; &#65; &apos; &amp\">&LT;b&gT; &amp;amp; &unknown;</e>");
    const TGmXmlNode& e = Top(doc);
    EXPECT_EQ(Attr(e, "v"), "&lt; \"x\" &#65; &apos; &amp");
    EXPECT_EQ(e.Value(), "<b> &amp; &unknown;");
    EXPECT_EQ(GmXmlUnescape("&&amp;&"), "&&&");
}

TEST(GmXmlReader, PassesOverMalformedStructureWithoutErrors) {
    TGmXML doc;
    // Closing tags without an open element and text outside any element.
    doc.SetText("lead</x><r><a/></r>tail</y>");
    ASSERT_EQ(doc.Nodes().Count(), 1u);
    EXPECT_EQ(Top(doc).Value(), "");
    EXPECT_EQ(Top(doc).Children().Count(), 1u);

    // A missing closing tag leaves the element open; a mismatched name
    // still closes.
    doc.SetText("<a><b></zzz><c/></a><d/>");
    ASSERT_EQ(doc.Nodes().Count(), 2u);
    ASSERT_EQ(Top(doc).Children().Count(), 2u);
    EXPECT_EQ(Top(doc).Children().Node(1).Name(), "c");
    EXPECT_EQ(Top(doc, 1).Name(), "d");

    doc.SetText("<a><b>");
    ASSERT_EQ(doc.Nodes().Count(), 1u);
    EXPECT_EQ(Top(doc).Children().Node(0).Name(), "b");

    // The last token is exempt from the text filter.
    doc.SetText("<a><b/>tail");
    EXPECT_EQ(Top(doc).Value(), "tail");
    doc.SetText("<a> hello ");
    EXPECT_EQ(Top(doc).Value(), "hello");

    // Comments are not recognised: they are opening tags.
    doc.SetText("<r><!-- note --><a/></r>");
    ASSERT_EQ(Top(doc).Children().Count(), 1u);
    const TGmXmlNode& comment = Top(doc).Children().Node(0);
    EXPECT_EQ(comment.Name(), "!-- note --");
    EXPECT_EQ(comment.Children().Node(0).Name(), "a");

    // Text after a closing tag is dropped.
    doc.SetText("<a>one</b>two</a>");
    EXPECT_EQ(Top(doc).Value(), "one");
    doc.SetText("<a><b>x</b>");
    EXPECT_EQ(Top(doc).Children().Node(0).Value(), "x");
}

TEST(GmXmlReader, WriterOutputReadsBackUnchanged) {
    std::mt19937 rng(7);
    auto randomText = [&](size_t maxLen) {
        std::string s;
        size_t len = rng() % maxLen;
        for (size_t i = 0; i < len; ++i) {
            char c = static_cast<char>(0x20 + rng() % 0xE0);
            if (rng() % 6 == 0) c = "&<>\"'= /"[rng() % 8];
            s += c;
        }
        return std::string(TrimBlanks(s));
    };
    for (int round = 0; round < 50; ++round) {
        TGmXML doc;
        doc.SetFormatted(round % 2 == 0);
        TGmXmlNodeList& nodes = doc.Nodes();
        nodes.AddOpenElement("root");
        for (int i = 0; i < 20; ++i) {
            TGmXmlNode& n = (i % 3 == 0) ? nodes.AddOpenElement("n" + std::to_string(i)) : nodes.Add("leaf");
            for (int k = 0; k < 3; ++k) n.Attributes().SetAttribute("a" + std::to_string(k), randomText(40));
            if (i % 3 != 0) n.SetValue(randomText(30));
            if (i % 3 == 0 && i > 0) nodes.CloseElement();
        }
        std::ostringstream saved;
        ASSERT_TRUE(doc.SaveStream(saved));
        TGmXML back;
        back.SetFormatted(doc.Formatted());
        back.SetText(saved.str());
        EXPECT_EQ(back.Text(), doc.Text());
    }
}

TEST(GmXmlReader, QuotesAndAmpersandInAttributeRoundTrip) {
    TGmXML doc;
    doc.Nodes().Add("e").Attributes().SetAttribute("v", "say \"a\" & \"b\"");
    TGmXML back;
    back.SetText(doc.Text());
    EXPECT_EQ(Attr(Top(back), "v"), "say \"a\" & \"b\"");
}

TEST(GmXmlReader, ValueWithChildrenReadsBackWithChildrenOnly) {
    TGmXML doc;
    TGmXmlNode& m = doc.Nodes().AddOpenElement("m");
    m.SetValue("lost");
    doc.Nodes().Add("k");
    TGmXML back;
    back.SetText(doc.Text());
    EXPECT_EQ(Top(back).Value(), "");
    EXPECT_EQ(Top(back).Children().Count(), 1u);
}

TEST(GmXmlReader, StreamsEndAtZeroByteAndEmptyInputChangesNothing) {
    TGmXML doc;
    doc.SetText("<keep/>");
    std::istringstream empty("");
    doc.LoadStream(empty);
    ASSERT_EQ(doc.Nodes().Count(), 1u);
    EXPECT_EQ(Top(doc).Name(), "keep");

    std::istringstream withNul(std::string("<a/>\0<b/>", 9));
    doc.LoadStream(withNul);
    ASSERT_EQ(doc.Nodes().Count(), 1u);
    EXPECT_EQ(Top(doc).Name(), "a");

    // From the stream's current position on.
    std::istringstream offset("<skipped/><b/>");
    offset.seekg(10);
    doc.LoadStream(offset);
    EXPECT_EQ(Top(doc).Name(), "b");

    // A stream that starts with a zero byte is not empty: the tree is
    // replaced by nothing.
    std::istringstream nulFirst(std::string("\0<c/>", 5));
    doc.LoadStream(nulFirst);
    EXPECT_EQ(doc.Nodes().Count(), 0u);

    // Setting the text directly always replaces the tree.
    doc.SetText("<d/>");
    doc.SetText("");
    EXPECT_EQ(doc.Nodes().Count(), 0u);
}

TEST(GmXmlReader, SurvivesGarbageAndTruncatedInput) {
    std::mt19937 rng(1234);
    const std::string alphabet = "<>/?=\"' ab&;\r\n\t!-x";
    TGmXML doc;
    for (int i = 0; i < 3000; ++i) {
        std::string s;
        size_t len = rng() % 120;
        for (size_t k = 0; k < len; ++k)
            s += rng() % 50 == 0 ? static_cast<char>(rng() % 256) : alphabet[rng() % alphabet.size()];
        doc.LoadBytes(s);
        std::string text = doc.Text();
        TGmXML again;
        again.SetText(text);
        std::ostringstream out;
        again.SaveStream(out);
    }

    TGmXML sample;
    sample.SetText("<patch version=\"1.0a\"><info name=\"n &amp; m\"><about description=\"d\"/></info>"
                   "<patchdata firmware=\"X\"><resource type=\"img\" convert=\"full\">"
                   "<data offset=\"0x00000010\" number=\"0\" id=\"0\" from=\"00\" to=\"FF\"/>"
                   "</resource></patchdata></patch>");
    const std::string full = sample.Text();
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        doc.SetText(full.substr(0, cut));
        (void)doc.Text();
    }
}

TEST(GmXmlReader, DeepNestingNeitherOverflowsTheStackNorGoesQuadratic) {
    const size_t depth = 200000;
    std::string s;
    s.reserve(depth * 3 + 10);
    for (size_t i = 0; i < depth; ++i) s += "<a>";
    {
        TGmXML doc;
        doc.SetText(s);
        const TGmXmlNode* n = &Top(doc);
        size_t levels = 1;
        while (n->Children().Count() > 0) {
            n = &n->Children().Node(0);
            ++levels;
        }
        EXPECT_EQ(levels, depth);
        doc.SetFormatted(false);
        const size_t decl = std::string("<?xml version=\"1.0\" encoding=\"Windows-1251\" ?>").size();
        EXPECT_EQ(doc.Text().size(), decl + depth * 7 - 2);  // the innermost is "<a />"
        doc.SetText("<b/>");  // clearing the deep tree
        EXPECT_EQ(Top(doc).Name(), "b");
        doc.SetText(s);
    }  // destroying it
}

}  // namespace
}  // namespace flashsmith
