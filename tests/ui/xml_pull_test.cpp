// SPDX-License-Identifier: GPL-2.0-or-later
// The pull reader against Qt's stream reader: the same elements, attributes
// and text for well-formed documents, an error for the rest.
#include "ui/xml_pull.h"

#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include "ui/xml_tokens.h"

namespace vantorel::ui {
namespace {

struct Case {
    const char* name;
    QByteArray xml;
    bool qt_differs;  // refused by us alone, on purpose
};

TEST(XmlPullTest, ReadsAsQtDoes) {
    const Case cases[] = {
        {"elements and attributes", R"(<?xml version="1.0" encoding="UTF-8"?><ui a="1" b='two'><w/><x y="z">t</x></ui>)", false},
        {"references", "<a t=\"&lt;&amp;&gt;&quot;&apos;&#65;&#x42;&#x1F600;\">&lt;b&gt; &amp;amp; &#233;</a>", false},
        {"line ends in text", "<a>one\r\ntwo\rthree\n</a>", false},
        {"blanks in attributes", "<a v=\"1\t2\n3\r\n4&#10;5&#9;\"/>", false},
        {"cdata", "<a>x<![CDATA[<b>&amp;\r\n]]>y</a>", false},
        {"comments and instructions", "<!-- c --><?pi data?><a><!--in-->b<?x y?></a><!-- after -->\n", false},
        {"doctype", "<!DOCTYPE ui SYSTEM \"x.dtd\"><ui/>", false},
        {"byte order mark", "\xEF\xBB\xBF<a>\xC3\xA9</a>", false},
        {"blanks in tags", "<a  b = \"1\"\n c='2' ></a >", false},
        {"qualified names", "<a:b c:d=\"e\"/>", false},
        {"empty", "", false},
        {"only blanks", "  \n", false},
        {"unclosed", "<a><b></b>", false},
        {"mismatched", "<a><b></a></b>", false},
        {"two roots", "<a/><b/>", false},
        {"text after root", "<a/>x", false},
        {"text before root", "x<a/>", false},
        {"unknown entity", "<a>&nbsp;</a>", false},
        {"reference without end", "<a>&amp</a>", false},
        {"reference to nothing", "<a>&#0;</a>", false},
        {"reference too large", "<a>&#x110000;</a>", false},
        {"control character", "<a>\x01</a>", false},
        {"duplicate attribute", "<a b=\"1\" b=\"2\"/>", false},
        {"unquoted attribute", "<a b=1/>", false},
        {"attributes not apart", "<a b=\"1\"c=\"2\"/>", false},
        {"less-than in attribute", "<a b=\"<\"/>", false},
        {"end of cdata in text", "<a>]]></a>", false},
        {"declaration not first", " <?xml version=\"1.0\"?><a/>", false},
        {"bad utf-8", "<a>\xC3\x28</a>", false},
        {"name starting with a digit", "<1a/>", false},
        {"document type without a name", "<!DOCTYPE><a/>", false},
        {"two document types", "<!DOCTYPE a><!DOCTYPE a><a/>", true},
        {"public document type", "<!DOCTYPE a PUBLIC \"-//x//EN\" \"x.dtd\"><a/>", false},
        {"double hyphen in a comment", "<a><!-- a -- b --></a>", false},
        {"empty comment", "<a><!----></a>", false},
        {"unclosed comment", "<a><!-- </a>", false},
        {"other encoding", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>", true},
        {"internal definitions", "<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList ours = test::PullTokens(c.xml);
        const QStringList theirs = test::QtTokens(c.xml);
        if (c.qt_differs) {
            EXPECT_EQ(ours.value(ours.size() - 1), QStringLiteral("error"));
            EXPECT_NE(theirs.value(theirs.size() - 1), QStringLiteral("error")) << "no longer a difference";
        } else {
            EXPECT_EQ(ours, theirs);
        }
    }
}

// How the skin reader walks: text of an element with its children left
// out, elements skipped whole, and the reader stopped at the first error.
TEST(XmlPullTest, WalksElements) {
    XmlPull xml(QByteArrayView("<ui><p>a<x>no</x>b<y/>c</p><skip><deep><deeper/></deep></skip><last k=\"v\"/></ui>"));
    ASSERT_TRUE(xml.readNextStartElement());
    EXPECT_EQ(xml.name(), u"ui");
    ASSERT_TRUE(xml.readNextStartElement());
    EXPECT_EQ(xml.readElementText(), QStringLiteral("abc"));
    ASSERT_TRUE(xml.readNextStartElement());
    EXPECT_EQ(xml.name(), u"skip");
    xml.skipCurrentElement();
    ASSERT_TRUE(xml.readNextStartElement());
    EXPECT_EQ(xml.attribute(QLatin1String("k")), u"v");
    EXPECT_TRUE(xml.attribute(QLatin1String("missing")).isEmpty());
    EXPECT_FALSE(xml.readNextStartElement());  // </last>
    EXPECT_FALSE(xml.readNextStartElement());  // </ui>
    EXPECT_EQ(xml.readNext(), XmlPull::Token::EndDocument);

    XmlPull nested(QByteArrayView("<Text>a<b>bold<i>!</i></b>c<br/></Text>"));
    ASSERT_TRUE(nested.readNextStartElement());
    EXPECT_EQ(nested.readElementText(XmlPull::ChildText::Include), QStringLiteral("abold!c"));
    EXPECT_EQ(nested.readNext(), XmlPull::Token::EndDocument);

    XmlPull broken(QByteArrayView("<ui>\n<a>\n<b></a></ui>"));
    while (!broken.atEnd()) broken.readNext();
    EXPECT_TRUE(broken.hasError());
    EXPECT_EQ(broken.lineNumber(), 3);
    EXPECT_EQ(broken.readNext(), XmlPull::Token::Error);
}

}  // namespace
}  // namespace vantorel::ui
