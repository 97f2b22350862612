// SPDX-License-Identifier: GPL-2.0-or-later
// A small pull reader for the XML of our own files (skins, language texts),
// in the manner of QXmlStreamReader but several times faster on them: the
// text is decoded from UTF-8 once, and names, attribute values and text are
// views into it unless a reference or a line end has to be replaced.
//
// It checks what a well-formed document needs (one root, matching tags,
// quoted and unique attributes, known references, characters XML allows,
// nothing but comments and processing instructions around the root) and
// refuses what our files never use: documents in other encodings and
// document type declarations with their own definitions. Namespaces are not
// interpreted: "a:b" is just a name.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <vector>

namespace vantorel::ui {

class XmlPull {
public:
    enum class Token { None, StartElement, EndElement, Characters, EndDocument, Error };

    explicit XmlPull(QByteArrayView utf8);

    // The next element start or end or piece of text; comments, processing
    // instructions and the document type are passed over.
    Token readNext();
    // Reads on to the next start element inside the current one: false at
    // the current element's end, at the end of the document or on an error.
    bool readNextStartElement();
    // The text of the current element, whose start was just read, up to its
    // end; the text of child elements is left out unless asked for.
    enum class ChildText { Skip, Include };
    QString readElementText(ChildText children = ChildText::Skip);
    // Reads past the end of the current element.
    void skipCurrentElement();

    Token token() const { return token_; }
    bool atEnd() const { return token_ == Token::EndDocument || token_ == Token::Error; }
    bool hasError() const { return token_ == Token::Error; }
    QString errorString() const { return error_; }
    // The line (from 1) where reading stopped.
    qsizetype lineNumber() const;

    // Of a start or end element.
    QStringView name() const { return name_; }
    // Of a start element: the value of an attribute, empty when missing.
    QStringView attribute(QLatin1String name) const;
    qsizetype attributeCount() const { return static_cast<qsizetype>(attributes_.size()); }
    QStringView attributeName(qsizetype i) const { return attributes_[static_cast<size_t>(i)].name; }
    QStringView attributeValue(qsizetype i) const { return attributes_[static_cast<size_t>(i)].value; }
    // Of a piece of text.
    QStringView text() const { return text_; }

private:
    struct Attribute {
        QStringView name;
        QStringView value;  // into the document or into `decoded`
        QString decoded;
    };

    Token fail(const QString& why);
    bool refuse(const QString& why);  // fail() for the steps that answer yes or no
    bool at(QLatin1String what) const;
    void skip_space();
    QStringView read_name();
    // Replaces references (and, in attribute values, blanks) from `raw` into
    // `out`; false with the error set when a reference is bad.
    bool decode(QStringView raw, bool attribute, QString& out);
    bool valid_chars(QStringView raw);
    Token start_tag();
    Token end_tag();
    Token characters();
    bool markup();  // comment, processing instruction, doctype: true when passed
    bool declaration(QStringView body);

    QString doc_;
    qsizetype pos_ = 0;
    Token token_ = Token::None;
    QString error_;
    QStringView name_;
    QStringView text_;
    QString text_decoded_;
    std::vector<Attribute> attributes_;
    std::vector<QStringView> open_;  // elements not closed yet
    bool pending_end_ = false;       // an empty element's end is still to come
    bool seen_root_ = false;
    bool seen_doctype_ = false;
};

}  // namespace vantorel::ui
