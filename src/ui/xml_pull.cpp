// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/xml_pull.h"

#include <QStringDecoder>

namespace vantorel::ui {

namespace {

bool is_space(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

bool is_name_start(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || (u >= 0xC0 && u != 0xD7 && u != 0xF7);
}

bool is_name_char(QChar c) {
    const char16_t u = c.unicode();
    return is_name_start(c) || (u >= '0' && u <= '9') || u == '-' || u == '.' || u == 0xB7;
}

// Characters a document may hold (surrogates come in pairs after decoding).
bool is_xml_char(char32_t u) {
    return u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u <= 0xD7FF) || (u >= 0xE000 && u <= 0xFFFD) ||
           (u >= 0x10000 && u <= 0x10FFFF);
}

}  // namespace

XmlPull::XmlPull(QByteArrayView utf8) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    doc_ = decoder(utf8);
    if (decoder.hasError()) {
        doc_.clear();
        fail(QStringLiteral("the text is not UTF-8"));
        return;
    }
    if (doc_.startsWith(QChar(0xFEFF))) pos_ = 1;
    attributes_.reserve(8);
}

XmlPull::Token XmlPull::fail(const QString& why) {
    if (token_ != Token::Error) error_ = why;  // the first error is the one told
    token_ = Token::Error;
    return token_;
}

bool XmlPull::refuse(const QString& why) {
    fail(why);
    return false;
}

qsizetype XmlPull::lineNumber() const {
    qsizetype line = 1;
    const qsizetype end = std::min(pos_, doc_.size());
    for (qsizetype i = 0; i < end; ++i) {
        if (doc_.at(i) == u'\n' || (doc_.at(i) == u'\r' && (i + 1 >= doc_.size() || doc_.at(i + 1) != u'\n'))) ++line;
    }
    return line;
}

bool XmlPull::at(QLatin1String what) const { return QStringView(doc_).mid(pos_).startsWith(what); }

void XmlPull::skip_space() {
    while (pos_ < doc_.size() && is_space(doc_.at(pos_))) ++pos_;
}

QStringView XmlPull::read_name() {
    const qsizetype begin = pos_;
    if (pos_ >= doc_.size() || !is_name_start(doc_.at(pos_))) return {};
    ++pos_;
    while (pos_ < doc_.size() && is_name_char(doc_.at(pos_))) ++pos_;
    return QStringView(doc_).mid(begin, pos_ - begin);
}

bool XmlPull::valid_chars(QStringView raw) {
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c.unicode() < 0x20 ? !is_space(c) : (c.unicode() == 0xFFFE || c.unicode() == 0xFFFF)) {
            return refuse(QStringLiteral("a character XML does not allow"));
        }
    }
    return true;
}

bool XmlPull::decode(QStringView raw, bool attribute, QString& out) {
    out.clear();
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c == u'\r') {
            // Line ends read as one '\n'.
            if (i + 1 < raw.size() && raw.at(i + 1) == u'\n') ++i;
            out += attribute ? u' ' : u'\n';
        } else if (attribute && (c == u'\n' || c == u'\t')) {
            out += u' ';
        } else if (c != u'&') {
            out += c;
        } else {
            const qsizetype semicolon = raw.indexOf(u';', i + 1);
            if (semicolon < 0) {
                return refuse(QStringLiteral("a reference without its ';'"));
            }
            const QStringView ref = raw.mid(i + 1, semicolon - i - 1);
            if (ref == u"lt") out += u'<';
            else if (ref == u"gt") out += u'>';
            else if (ref == u"amp") out += u'&';
            else if (ref == u"quot") out += u'"';
            else if (ref == u"apos") out += u'\'';
            else if (ref.startsWith(u'#') && ref.size() > 1) {
                const bool hex = ref.at(1) == u'x';
                const QStringView digits = ref.mid(hex ? 2 : 1);
                bool ok = !digits.isEmpty() && digits.size() <= 8;
                for (QChar d : digits) ok = ok && (hex ? d.isDigit() || (d.toLower() >= u'a' && d.toLower() <= u'f') : d.isDigit()) && d.unicode() < 0x80;
                const char32_t code = ok ? digits.toUInt(&ok, hex ? 16 : 10) : 0;
                if (!ok || !is_xml_char(code)) {
                    return refuse(QStringLiteral("a character reference to no character XML allows"));
                }
                const char32_t ucs4[1] = {code};
                out += QString::fromUcs4(ucs4, 1);
            } else {
                return refuse(QStringLiteral("an entity that is not declared: ") + ref.toString());
            }
            i = semicolon;
        }
    }
    return true;
}

bool XmlPull::declaration(QStringView body) {
    // version="1.0" [encoding="UTF-8"] [standalone="yes|no"], in this order.
    // Our files are UTF-8: another encoding named here is refused rather
    // than misread.
    qsizetype i = 0;
    const auto pseudo = [&](QLatin1String name, QStringView& value) {
        const qsizetype before = i;
        while (i < body.size() && is_space(body.at(i))) ++i;
        if (i == before || !body.mid(i).startsWith(name)) {
            i = before;
            return false;
        }
        qsizetype j = i + name.size();
        while (j < body.size() && is_space(body.at(j))) ++j;
        if (j >= body.size() || body.at(j) != u'=') return false;
        ++j;
        while (j < body.size() && is_space(body.at(j))) ++j;
        if (j >= body.size() || (body.at(j) != u'"' && body.at(j) != u'\'')) return false;
        const qsizetype close = body.indexOf(body.at(j), j + 1);
        if (close < 0) return false;
        value = body.mid(j + 1, close - j - 1);
        i = close + 1;
        return true;
    };
    QStringView version, encoding, standalone;
    bool ok = pseudo(QLatin1String("version"), version) && version == u"1.0";
    if (ok && pseudo(QLatin1String("encoding"), encoding) && encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0 &&
        encoding.compare(QLatin1String("UTF8"), Qt::CaseInsensitive) != 0) {
        return refuse(QStringLiteral("an encoding other than UTF-8"));
    }
    if (ok && pseudo(QLatin1String("standalone"), standalone)) ok = standalone == u"yes" || standalone == u"no";
    while (ok && i < body.size() && is_space(body.at(i))) ++i;
    if (!ok || i != body.size()) {
        return refuse(QStringLiteral("a malformed XML declaration"));
    }
    return true;
}

bool XmlPull::markup() {
    if (at(QLatin1String("<!--"))) {
        // "--" may only end a comment.
        const qsizetype end = doc_.indexOf(QLatin1String("--"), pos_ + 4);
        if (end < 0 || end + 2 >= doc_.size()) return refuse(QStringLiteral("a comment without its end"));
        if (doc_.at(end + 2) != u'>') return refuse(QStringLiteral("'--' inside a comment"));
        if (!valid_chars(QStringView(doc_).mid(pos_ + 4, end - pos_ - 4))) return false;
        pos_ = end + 3;
        return true;
    }
    if (at(QLatin1String("<?"))) {
        const qsizetype begin = pos_;
        pos_ += 2;
        const QStringView target = read_name();
        if (target.isEmpty()) return refuse(QStringLiteral("a processing instruction without a name"));
        const qsizetype end = doc_.indexOf(QLatin1String("?>"), pos_);
        if (end < 0) return refuse(QStringLiteral("a processing instruction without its end"));
        const QStringView body = QStringView(doc_).mid(pos_, end - pos_);
        if (target.compare(QLatin1String("xml"), Qt::CaseInsensitive) == 0) {
            if (begin != (doc_.startsWith(QChar(0xFEFF)) ? 1 : 0) || target != u"xml")
                return refuse(QStringLiteral("an XML declaration that is not at the start"));
            if (!declaration(body)) return false;
        } else if (!body.isEmpty() && !is_space(body.at(0))) {
            return refuse(QStringLiteral("a malformed processing instruction"));
        }
        if (!valid_chars(body)) return false;
        pos_ = end + 2;
        return true;
    }
    if (at(QLatin1String("<!DOCTYPE"))) {
        // <!DOCTYPE name [SYSTEM "id" | PUBLIC "id" "id"]>, once, before the
        // root; definitions of its own ("[...]") are refused.
        if (seen_root_ || seen_doctype_) return refuse(QStringLiteral("a document type out of place"));
        seen_doctype_ = true;
        pos_ += 9;
        const auto spaced = [this] {
            const qsizetype before = pos_;
            skip_space();
            return pos_ > before;
        };
        const auto literal = [this] {
            if (pos_ >= doc_.size() || (doc_.at(pos_) != u'"' && doc_.at(pos_) != u'\'')) return false;
            const qsizetype close = doc_.indexOf(doc_.at(pos_), pos_ + 1);
            if (close < 0 || !valid_chars(QStringView(doc_).mid(pos_ + 1, close - pos_ - 1))) return false;
            pos_ = close + 1;
            return true;
        };
        bool ok = spaced() && !read_name().isEmpty();
        if (ok && spaced()) {
            if (at(QLatin1String("SYSTEM"))) {
                pos_ += 6;
                ok = spaced() && literal();
            } else if (at(QLatin1String("PUBLIC"))) {
                pos_ += 6;
                ok = spaced() && literal() && spaced() && literal();
            }
            skip_space();
        }
        if (ok && pos_ < doc_.size() && doc_.at(pos_) == u'[')
            return refuse(QStringLiteral("a document type with definitions of its own"));
        if (!ok || pos_ >= doc_.size() || doc_.at(pos_) != u'>')
            return refuse(QStringLiteral("a malformed document type"));  // unless already refused
        ++pos_;
        return true;
    }
    return false;
}

XmlPull::Token XmlPull::start_tag() {
    if (seen_root_ && open_.empty()) return fail(QStringLiteral("content after the root element"));
    ++pos_;
    name_ = read_name();
    if (name_.isEmpty()) return fail(QStringLiteral("a start tag without a name"));
    attributes_.clear();
    for (;;) {
        const qsizetype before = pos_;
        skip_space();
        if (pos_ >= doc_.size()) return fail(QStringLiteral("a start tag without its end"));
        if (doc_.at(pos_) == u'>') {
            ++pos_;
            break;
        }
        if (at(QLatin1String("/>"))) {
            pos_ += 2;
            pending_end_ = true;
            break;
        }
        if (pos_ == before) return fail(QStringLiteral("attributes not apart"));
        Attribute a;
        a.name = read_name();
        if (a.name.isEmpty()) return fail(QStringLiteral("an attribute without a name"));
        skip_space();
        if (pos_ >= doc_.size() || doc_.at(pos_) != u'=') return fail(QStringLiteral("an attribute without a value"));
        ++pos_;
        skip_space();
        if (pos_ >= doc_.size() || (doc_.at(pos_) != u'"' && doc_.at(pos_) != u'\''))
            return fail(QStringLiteral("an attribute value without quotes"));
        const QChar quote = doc_.at(pos_);
        const qsizetype close = doc_.indexOf(quote, pos_ + 1);
        if (close < 0) return fail(QStringLiteral("an attribute value without its end"));
        const QStringView raw = QStringView(doc_).mid(pos_ + 1, close - pos_ - 1);
        pos_ = close + 1;
        if (raw.contains(u'<')) return fail(QStringLiteral("'<' in an attribute value"));
        if (!valid_chars(raw)) return token_;
        for (const Attribute& other : attributes_) {
            if (other.name == a.name) return fail(QStringLiteral("an attribute given twice: ") + a.name.toString());
        }
        const bool plain = !raw.contains(u'&') && !raw.contains(u'\r') && !raw.contains(u'\n') && !raw.contains(u'\t');
        if (!plain && !decode(raw, true, a.decoded)) return token_;
        Attribute& added = attributes_.emplace_back(std::move(a));
        added.value = plain ? raw : QStringView(added.decoded);
    }
    open_.push_back(name_);
    seen_root_ = true;
    return token_ = Token::StartElement;
}

XmlPull::Token XmlPull::end_tag() {
    pos_ += 2;
    name_ = read_name();
    skip_space();
    if (pos_ >= doc_.size() || doc_.at(pos_) != u'>') return fail(QStringLiteral("an end tag without its end"));
    ++pos_;
    if (open_.empty() || open_.back() != name_) return fail(QStringLiteral("an end tag that does not match its start"));
    open_.pop_back();
    return token_ = Token::EndElement;
}

XmlPull::Token XmlPull::characters() {
    qsizetype end = pos_;
    bool plain = true;
    for (; end < doc_.size(); ++end) {
        const QChar c = doc_.at(end);
        if (c == u'<') break;
        if (c == u'&' || c == u'\r') plain = false;
        if (c == u'>' && end >= pos_ + 2 && doc_.at(end - 1) == u']' && doc_.at(end - 2) == u']')
            return fail(QStringLiteral("']]>' in text"));
    }
    const QStringView raw = QStringView(doc_).mid(pos_, end - pos_);
    pos_ = end;
    if (!valid_chars(raw)) return token_;
    if (plain) {
        text_ = raw;
    } else {
        if (!decode(raw, false, text_decoded_)) return token_;
        text_ = text_decoded_;
    }
    return token_ = Token::Characters;
}

XmlPull::Token XmlPull::readNext() {
    if (token_ == Token::Error || token_ == Token::EndDocument) return token_;
    attributes_.clear();
    text_ = {};
    if (pending_end_) {
        pending_end_ = false;
        name_ = open_.back();
        open_.pop_back();
        return token_ = Token::EndElement;
    }
    for (;;) {
        if (pos_ >= doc_.size()) {
            if (!open_.empty()) return fail(QStringLiteral("the document ends inside an element"));
            if (!seen_root_) return fail(QStringLiteral("no root element"));
            return token_ = Token::EndDocument;
        }
        const QChar c = doc_.at(pos_);
        if (c != u'<') {
            if (!open_.empty()) return characters();
            // Around the root only blanks.
            skip_space();
            if (pos_ < doc_.size() && doc_.at(pos_) != u'<') return fail(QStringLiteral("text outside the root element"));
            continue;
        }
        if (at(QLatin1String("<![CDATA["))) {
            if (open_.empty()) return fail(QStringLiteral("a CDATA section outside the root element"));
            const qsizetype end = doc_.indexOf(QLatin1String("]]>"), pos_ + 9);
            if (end < 0) return fail(QStringLiteral("a CDATA section without its end"));
            const QStringView raw = QStringView(doc_).mid(pos_ + 9, end - pos_ - 9);
            pos_ = end + 3;
            if (!valid_chars(raw)) return token_;
            if (raw.contains(u'\r')) {
                text_decoded_ = raw.toString();
                text_decoded_.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
                text_ = text_decoded_;
            } else {
                text_ = raw;
            }
            return token_ = Token::Characters;
        }
        if (at(QLatin1String("</"))) return end_tag();
        if (at(QLatin1String("<!")) || at(QLatin1String("<?"))) {
            if (!markup()) return fail(QStringLiteral("markup XML does not know"));  // unless already refused
            continue;
        }
        return start_tag();
    }
}

bool XmlPull::readNextStartElement() {
    for (;;) {
        switch (readNext()) {
        case Token::StartElement: return true;
        case Token::EndElement:
        case Token::EndDocument:
        case Token::Error: return false;
        default: break;
        }
    }
}

QString XmlPull::readElementText(ChildText children) {
    QString result;
    int depth = 1;
    for (;;) {
        switch (readNext()) {
        case Token::Characters: result += text_; break;
        case Token::StartElement:
            if (children == ChildText::Skip) skipCurrentElement();
            else ++depth;
            break;
        case Token::EndElement:
            if (--depth == 0) return result;
            break;
        default: return result;  // an error
        }
    }
}

void XmlPull::skipCurrentElement() {
    int depth = 1;
    while (depth > 0) {
        switch (readNext()) {
        case Token::StartElement: ++depth; break;
        case Token::EndElement: --depth; break;
        case Token::EndDocument:
        case Token::Error: return;
        default: break;
        }
    }
}

QStringView XmlPull::attribute(QLatin1String name) const {
    for (const Attribute& a : attributes_) {
        if (a.name == name) return a.value;
    }
    return {};
}

}  // namespace vantorel::ui
