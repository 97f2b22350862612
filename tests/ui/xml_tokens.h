// SPDX-License-Identifier: GPL-2.0-or-later
// The tokens of an XML document as one list of lines, from our pull reader
// and from Qt's stream reader, to compare the two: "<name a=v", ">name",
// "text" (adjacent pieces joined), and a last "error" when reading failed.
#pragma once

#include <QByteArrayView>
#include <QStringList>
#include <QXmlStreamReader>

#include "ui/xml_pull.h"

namespace vantorel::test {

inline void AddText(QStringList& out, QStringView text, bool& in_text) {
    if (in_text) {
        out.last() += text;
    } else {
        out << QStringLiteral("text ") + text.toString();
        in_text = true;
    }
}

inline QStringList PullTokens(QByteArrayView bytes) {
    QStringList out;
    ui::XmlPull xml(bytes);
    bool in_text = false;
    for (;;) {
        switch (xml.readNext()) {
        case ui::XmlPull::Token::StartElement: {
            in_text = false;
            QString line = u'<' + xml.name().toString();
            for (qsizetype i = 0; i < xml.attributeCount(); ++i)
                line += u' ' + xml.attributeName(i).toString() + u'=' + xml.attributeValue(i).toString();
            out << line;
            break;
        }
        case ui::XmlPull::Token::EndElement:
            in_text = false;
            out << u'>' + xml.name().toString();
            break;
        case ui::XmlPull::Token::Characters: AddText(out, xml.text(), in_text); break;
        case ui::XmlPull::Token::Error: return out << QStringLiteral("error");
        default: return out;
        }
    }
}

// Qt's reader without namespace processing, as ours reads names.
inline QStringList QtTokens(QByteArrayView bytes) {
    QStringList out;
    QXmlStreamReader xml(QByteArray(bytes.data(), bytes.size()));
    xml.setNamespaceProcessing(false);
    bool in_text = false;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            in_text = false;
            QString line = u'<' + xml.qualifiedName().toString();
            for (const QXmlStreamAttribute& a : xml.attributes())
                line += u' ' + a.qualifiedName().toString() + u'=' + a.value().toString();
            out << line;
            break;
        }
        case QXmlStreamReader::EndElement:
            in_text = false;
            out << u'>' + xml.qualifiedName().toString();
            break;
        case QXmlStreamReader::Characters: AddText(out, xml.text(), in_text); break;
        default: break;  // comments, instructions, the document type
        }
    }
    if (xml.hasError()) out << QStringLiteral("error");
    return out;
}

}  // namespace vantorel::test
