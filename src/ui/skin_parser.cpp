// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/skin_parser.h"

#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>

#include "ui/xml_pull.h"

namespace vantorel::ui::skin {

const Property* Node::property(QStringView wanted) const {
    for (const Property& p : properties) {
        if (p.name == wanted) return &p;
    }
    return nullptr;
}

std::optional<QString> include_of(const Property& p) {
    if (p.stdset || p.name != u"include") return std::nullopt;
    return p.value.type == Value::Type::String ? p.value.text : QString();
}

namespace {

int clamp_int(long long v, int lo, int hi) { return static_cast<int>(std::clamp<long long>(v, lo, hi)); }

// The parse: one function per element kind, each told how deep it is so that
// no file can nest us past kMaxDepth.
class Reader {
public:
    explicit Reader(QByteArrayView bytes, ParseResult& out) : xml_(bytes), out_(out) {}

    void run() {
        while (!xml_.atEnd() && !failed()) {
            if (xml_.readNext() != XmlPull::Token::StartElement) continue;
            if (xml_.name() != u"ui") return fail(QStringLiteral("the root element is not <ui>"));
            read_ui();
            break;
        }
        if (!failed() && xml_.hasError()) fail(xml_.errorString());
        if (!failed() && !have_root_) fail(QStringLiteral("no root widget"));
        out_.ok = !failed();
        if (!out_.ok) out_.document = Document{};
    }

private:
    bool failed() const { return !error_.isEmpty(); }
    void fail(const QString& why) {
        if (error_.isEmpty()) {
            error_ = why;
            if (xml_.lineNumber() > 0) error_ += QStringLiteral(" (line %1)").arg(xml_.lineNumber());
            out_.error = error_;
        }
    }
    // Leaves the current element out, noting it once per place and name.
    void skip(QStringView where) {
        const QString note = where.toString() + u'/' + xml_.name().toString();
        if (out_.skipped.size() < 64 && !out_.skipped.contains(note)) out_.skipped << note;
        xml_.skipCurrentElement();
    }
    bool enter(int depth) {
        if (depth > kMaxDepth) {
            fail(QStringLiteral("nested deeper than %1").arg(kMaxDepth));
            return false;
        }
        return true;
    }
    bool count_node() {
        if (++nodes_ > kMaxNodes) {
            fail(QStringLiteral("more than %1 widgets, layouts and items").arg(kMaxNodes));
            return false;
        }
        return true;
    }
    // Reads child elements of the current element until its end, calling
    // f for each start element; f must consume the element it is given.
    template <class F>
    void children(F&& f) {
        while (!failed() && xml_.readNextStartElement()) f();
    }
    QString attr(QLatin1String name) const { return xml_.attribute(name).toString(); }
    QString text() { return xml_.readElementText(); }
    long long number(bool* ok) { return text().trimmed().toLongLong(ok); }
    int number_or_zero() {
        bool ok = false;
        const long long v = number(&ok);
        return ok ? clamp_int(v, -kMaxSize, kMaxSize) : 0;
    }

    void read_ui() {
        int depth = 1;
        children([&] {
            const QStringView n = xml_.name();
            if (n == u"class") {
                out_.document.class_name = text();
            } else if (n == u"widget") {
                if (have_root_) return skip(u"ui");
                have_root_ = true;
                read_widget(out_.document.root, depth);
            } else if (n == u"customwidgets") {
                children([&] {
                    if (xml_.name() != u"customwidget") return skip(u"customwidgets");
                    CustomWidget c;
                    children([&] {
                        if (xml_.name() == u"class") c.class_name = text();
                        else if (xml_.name() == u"extends") c.extends = text();
                        else if (xml_.name() == u"header") c.header = text();
                        else xml_.skipCurrentElement();  // container, sizehint, slots...
                    });
                    if (out_.document.custom_widgets.size() < 256) out_.document.custom_widgets.push_back(std::move(c));
                });
            } else if (n == u"buttongroups") {
                children([&] {
                    if (xml_.name() != u"buttongroup") return skip(u"buttongroups");
                    ButtonGroup g;
                    g.name = attr(QLatin1String("name"));
                    children([&] {
                        if (xml_.name() == u"property") read_property(g.properties, true, depth + 2);
                        else skip(u"buttongroup");
                    });
                    if (out_.document.button_groups.size() < 256) out_.document.button_groups.push_back(std::move(g));
                });
            } else if (n == u"tabstops") {
                children([&] {
                    if (xml_.name() != u"tabstop") return skip(u"tabstops");
                    const QString stop = text();
                    if (out_.document.tab_stops.size() < kMaxNodes) out_.document.tab_stops << stop;
                });
            } else if (n == u"connections") {
                children([&] {
                    if (xml_.name() != u"connection") return skip(u"connections");
                    Connection c;
                    children([&] {
                        if (xml_.name() == u"sender") c.sender = text();
                        else if (xml_.name() == u"signal") c.signal = text();
                        else if (xml_.name() == u"receiver") c.receiver = text();
                        else if (xml_.name() == u"slot") c.slot = text();
                        else xml_.skipCurrentElement();  // <hints>: editor positions
                    });
                    if (out_.document.connections.size() < 1024) out_.document.connections.push_back(std::move(c));
                });
            } else if (n == u"layoutdefault") {
                bool ok = false;
                const int spacing = xml_.attribute(QLatin1String("spacing")).toInt(&ok);
                if (ok) out_.document.layout_default_spacing = std::clamp(spacing, 0, kMaxSize);
                const int margin = xml_.attribute(QLatin1String("margin")).toInt(&ok);
                if (ok) out_.document.layout_default_margin = std::clamp(margin, 0, kMaxSize);
                xml_.skipCurrentElement();
            } else if (n == u"resources" || n == u"author" || n == u"comment" || n == u"exportmacro" ||
                       n == u"includes" || n == u"designerdata" || n == u"slots") {
                // Editor data; nothing to build from it.
                xml_.skipCurrentElement();
            } else {
                skip(u"ui");
            }
        });
    }

    void read_widget(Node& node, int depth) {
        if (!enter(depth) || !count_node()) return;
        node.kind = Node::Kind::Widget;
        node.class_name = attr(QLatin1String("class"));
        node.name = attr(QLatin1String("name"));
        bool have_layout = false;
        children([&] {
            const QStringView n = xml_.name();
            if (n == u"property") {
                read_property(node.properties, true, depth + 1);
            } else if (n == u"attribute") {
                read_property(node.attributes, false, depth + 1);
            } else if (n == u"widget") {
                Node child;
                read_widget(child, depth + 1);
                if (!failed()) node.children.push_back(std::move(child));
            } else if (n == u"layout") {
                if (have_layout) return skip(u"widget");  // a widget has one layout
                have_layout = true;
                Node child;
                read_layout(child, depth + 1);
                if (!failed()) node.children.push_back(std::move(child));
            } else if (n == u"item") {
                // An entry of a combo box or list widget.
                if (!enter(depth + 1) || !count_node()) return;
                Node item;
                item.kind = Node::Kind::Item;
                children([&] {
                    if (xml_.name() == u"property") read_property(item.properties, true, depth + 2);
                    else skip(u"widget/item");
                });
                if (!failed()) node.children.push_back(std::move(item));
            } else {
                skip(u"widget");  // action, addaction, zorder, row, column...
            }
        });
    }

    void read_layout(Node& node, int depth) {
        if (!enter(depth) || !count_node()) return;
        node.kind = Node::Kind::Layout;
        node.class_name = attr(QLatin1String("class"));
        node.name = attr(QLatin1String("name"));
        node.stretch = attr(QLatin1String("stretch"));
        node.row_stretch = attr(QLatin1String("rowstretch"));
        node.column_stretch = attr(QLatin1String("columnstretch"));
        node.row_minimum_height = attr(QLatin1String("rowminimumheight"));
        node.column_minimum_width = attr(QLatin1String("columnminimumwidth"));
        children([&] {
            const QStringView n = xml_.name();
            if (n == u"property") {
                read_property(node.properties, true, depth + 1);
            } else if (n == u"item") {
                read_layout_item(node, depth + 1);
            } else {
                skip(u"layout");
            }
        });
    }

    void read_layout_item(Node& layout, int depth) {
        if (!enter(depth)) return;
        auto grid_attr = [&](QLatin1String name, int fallback, int lo) {
            bool ok = false;
            const long long v = xml_.attribute(name).toLongLong(&ok);
            return ok ? clamp_int(v, lo, kMaxGridIndex) : fallback;
        };
        const int row = grid_attr(QLatin1String("row"), -1, 0);
        const int column = grid_attr(QLatin1String("column"), -1, 0);
        const int row_span = grid_attr(QLatin1String("rowspan"), 1, 1);
        const int column_span = grid_attr(QLatin1String("colspan"), 1, 1);
        const QString alignment = attr(QLatin1String("alignment"));
        bool have_content = false;
        children([&] {
            const QStringView n = xml_.name();
            if (have_content || (n != u"widget" && n != u"layout" && n != u"spacer")) return skip(u"layout/item");
            have_content = true;
            Node child;
            if (n == u"widget") read_widget(child, depth + 1);
            else if (n == u"layout") read_layout(child, depth + 1);
            else read_spacer(child, depth + 1);
            if (failed()) return;
            child.row = row;
            child.column = column;
            child.row_span = row_span;
            child.column_span = column_span;
            child.alignment = alignment;
            layout.children.push_back(std::move(child));
        });
    }

    void read_spacer(Node& node, int depth) {
        if (!enter(depth) || !count_node()) return;
        node.kind = Node::Kind::Spacer;
        node.name = attr(QLatin1String("name"));
        children([&] {
            if (xml_.name() == u"property") read_property(node.properties, true, depth + 1);
            else skip(u"spacer");
        });
    }

    // <property name="..." stdset="0"><TYPE>...</TYPE></property>, or the
    // same as <attribute>. A value we cannot read leaves the property out.
    void read_property(std::vector<Property>& into, bool is_property, int depth) {
        if (!enter(depth)) return;
        if (++properties_ > kMaxProperties) return fail(QStringLiteral("too many properties"));
        Property p;
        p.name = attr(QLatin1String("name"));
        p.stdset = xml_.attribute(QLatin1String("stdset")) != u"0";
        bool have_value = false;
        children([&] {
            if (have_value) return skip(is_property ? u"property" : u"attribute");
            have_value = read_value(p.value, depth + 1);
        });
        if (!failed() && have_value && !p.name.isEmpty()) into.push_back(std::move(p));
    }

    // Reads one value element; false (element consumed) when it is not one
    // we know or its content is not a value.
    bool read_value(Value& v, int depth) {
        if (!enter(depth)) return false;
        using T = Value::Type;
        const QString type = xml_.name().toString();
        bool ok = true;
        if (type == u"string" || type == u"cstring") {
            v.type = T::String;
            v.text = text();
        } else if (type == u"number" || type == u"uInt" || type == u"longLong" || type == u"uLongLong") {
            v.type = T::Number;
            v.number = number(&ok);
        } else if (type == u"double" || type == u"float") {
            v.type = T::Double;
            v.real = text().trimmed().toDouble(&ok);
            ok = ok && std::isfinite(v.real);
        } else if (type == u"bool") {
            v.type = T::Bool;
            const QString t = text().trimmed();
            ok = t == u"true" || t == u"false";
            v.number = t == u"true" ? 1 : 0;
        } else if (type == u"enum") {
            v.type = T::Enum;
            v.text = text().trimmed();
        } else if (type == u"set") {
            v.type = T::Set;
            v.text = text().trimmed();
        } else if (type == u"rect" || type == u"size" || type == u"point") {
            v.type = type == u"rect" ? T::Rect : type == u"size" ? T::Size : T::Point;
            children([&] {
                const QStringView n = xml_.name();
                if (n == u"x") v.x = number_or_zero();
                else if (n == u"y") v.y = number_or_zero();
                else if (n == u"width") v.w = std::max(0, number_or_zero());
                else if (n == u"height") v.h = std::max(0, number_or_zero());
                else skip(type);
            });
        } else if (type == u"sizepolicy") {
            v.type = T::SizePolicy;
            v.text = attr(QLatin1String("hsizetype"));
            v.text2 = attr(QLatin1String("vsizetype"));
            children([&] {
                const QStringView n = xml_.name();
                if (n == u"horstretch") v.x = std::clamp(number_or_zero(), 0, 255);
                else if (n == u"verstretch") v.y = std::clamp(number_or_zero(), 0, 255);
                else skip(u"sizepolicy");  // the old numeric hsizetype/vsizetype form
            });
            ok = !v.text.isEmpty() && !v.text2.isEmpty();
        } else if (type == u"iconset") {
            v.type = T::IconSet;
            v.text2 = attr(QLatin1String("theme"));
            QString legacy;
            bool normal = false;
            while (!failed() && !xml_.atEnd()) {
                const auto token = xml_.readNext();
                if (token == XmlPull::Token::EndElement) break;
                if (token == XmlPull::Token::Characters) {
                    legacy += xml_.text();
                } else if (token == XmlPull::Token::StartElement) {
                    if (xml_.name() == u"normaloff") {
                        v.text = text();
                        normal = true;
                    } else {
                        skip(u"iconset");  // the other states: we draw one image
                    }
                }
            }
            if (!normal) v.text = legacy.trimmed();
        } else if (type == u"pixmap") {
            v.type = T::Pixmap;
            v.text = text();
        } else if (type == u"stringlist") {
            v.type = T::StringList;
            children([&] {
                if (xml_.name() != u"string") return skip(u"stringlist");
                const QString s = text();
                if (v.list.size() < kMaxNodes) v.list << s;
            });
        } else if (type == u"cursorShape") {
            v.type = T::Cursor;
            v.text = text().trimmed();
        } else if (type == u"cursor") {
            v.type = T::Cursor;
            v.number = std::clamp(number(&ok), 0LL, 255LL);
        } else if (type == u"font") {
            v.type = T::Font;
            v.number = -1;
            children([&] {
                const QStringView n = xml_.name();
                auto flag = [&] { return text().trimmed() == u"true" ? 1 : 0; };
                if (n == u"family") v.text = text();
                else if (n == u"pointsize") v.number = std::clamp(number_or_zero(), 1, 1000);
                else if (n == u"weight") v.weight = std::clamp(number_or_zero(), 1, 1000);
                else if (n == u"bold") v.bold = flag();
                else if (n == u"italic") v.italic = flag();
                else if (n == u"underline") v.underline = flag();
                else if (n == u"strikeout") v.strikeout = flag();
                else skip(u"font");
            });
        } else if (type == u"color") {
            v.type = T::Color;
            bool alpha_ok = false;
            const int alpha = xml_.attribute(QLatin1String("alpha")).toInt(&alpha_ok);
            v.h = alpha_ok ? std::clamp(alpha, 0, 255) : 255;
            children([&] {
                const QStringView n = xml_.name();
                if (n == u"red") v.x = std::clamp(number_or_zero(), 0, 255);
                else if (n == u"green") v.y = std::clamp(number_or_zero(), 0, 255);
                else if (n == u"blue") v.w = std::clamp(number_or_zero(), 0, 255);
                else skip(u"color");
            });
        } else {
            skip(u"property");  // palette, url, date, brush, char...
            return false;
        }
        if (!ok) {
            const QString note = QStringLiteral("property/%1 (unreadable value)").arg(type);
            if (out_.skipped.size() < 64 && !out_.skipped.contains(note)) out_.skipped << note;
        }
        return ok && !failed();
    }

    XmlPull xml_;
    ParseResult& out_;
    QString error_;
    bool have_root_ = false;
    int nodes_ = 0;
    int properties_ = 0;
};

// The writer: the inverse of Reader for everything a Document holds.
class Writer {
public:
    explicit Writer(QByteArray* out) : xml_(out) {}

    void run(const Document& d) {
        xml_.writeStartDocument();
        xml_.writeStartElement(QStringLiteral("ui"));
        xml_.writeAttribute(QStringLiteral("version"), QStringLiteral("4.0"));
        if (!d.class_name.isEmpty()) text_element(QStringLiteral("class"), d.class_name);
        if (d.layout_default_margin >= 0 || d.layout_default_spacing >= 0) {
            xml_.writeEmptyElement(QStringLiteral("layoutdefault"));
            if (d.layout_default_spacing >= 0) xml_.writeAttribute(QStringLiteral("spacing"), QString::number(d.layout_default_spacing));
            if (d.layout_default_margin >= 0) xml_.writeAttribute(QStringLiteral("margin"), QString::number(d.layout_default_margin));
        }
        node(d.root);
        if (!d.custom_widgets.empty()) {
            xml_.writeStartElement(QStringLiteral("customwidgets"));
            for (const CustomWidget& c : d.custom_widgets) {
                xml_.writeStartElement(QStringLiteral("customwidget"));
                text_element(QStringLiteral("class"), c.class_name);
                text_element(QStringLiteral("extends"), c.extends);
                text_element(QStringLiteral("header"), c.header);
                xml_.writeEndElement();
            }
            xml_.writeEndElement();
        }
        if (!d.tab_stops.isEmpty()) {
            xml_.writeStartElement(QStringLiteral("tabstops"));
            for (const QString& s : d.tab_stops) text_element(QStringLiteral("tabstop"), s);
            xml_.writeEndElement();
        }
        if (!d.button_groups.empty()) {
            xml_.writeStartElement(QStringLiteral("buttongroups"));
            for (const ButtonGroup& g : d.button_groups) {
                xml_.writeStartElement(QStringLiteral("buttongroup"));
                xml_.writeAttribute(QStringLiteral("name"), g.name);
                for (const Property& p : g.properties) property(QStringLiteral("property"), p);
                xml_.writeEndElement();
            }
            xml_.writeEndElement();
        }
        if (!d.connections.empty()) {
            xml_.writeStartElement(QStringLiteral("connections"));
            for (const Connection& c : d.connections) {
                xml_.writeStartElement(QStringLiteral("connection"));
                text_element(QStringLiteral("sender"), c.sender);
                text_element(QStringLiteral("signal"), c.signal);
                text_element(QStringLiteral("receiver"), c.receiver);
                text_element(QStringLiteral("slot"), c.slot);
                xml_.writeEndElement();
            }
            xml_.writeEndElement();
        }
        xml_.writeEndElement();
        xml_.writeEndDocument();
    }

private:
    // Text as characters, with carriage returns as references so that a
    // reader's line-end handling gives them back unchanged.
    void characters(const QString& s) {
        qsizetype from = 0;
        for (qsizetype i = 0; i < s.size(); ++i) {
            if (s[i] != u'\r') continue;
            if (i > from) xml_.writeCharacters(s.mid(from, i - from));
            xml_.writeEntityReference(QStringLiteral("#13"));
            from = i + 1;
        }
        if (from < s.size()) xml_.writeCharacters(s.mid(from));
    }
    void text_element(const QString& name, const QString& text) {
        xml_.writeStartElement(name);
        characters(text);
        xml_.writeEndElement();
    }
    void number_element(const QString& name, long long v) { text_element(name, QString::number(v)); }
    void optional_attribute(const QString& name, const QString& value) {
        if (!value.isEmpty()) xml_.writeAttribute(name, value);
    }

    void node(const Node& n) {
        switch (n.kind) {
        case Node::Kind::Widget: xml_.writeStartElement(QStringLiteral("widget")); break;
        case Node::Kind::Layout: xml_.writeStartElement(QStringLiteral("layout")); break;
        case Node::Kind::Spacer: xml_.writeStartElement(QStringLiteral("spacer")); break;
        case Node::Kind::Item: xml_.writeStartElement(QStringLiteral("item")); break;
        }
        if (n.kind == Node::Kind::Widget || n.kind == Node::Kind::Layout) xml_.writeAttribute(QStringLiteral("class"), n.class_name);
        if (n.kind != Node::Kind::Item) xml_.writeAttribute(QStringLiteral("name"), n.name);
        if (n.kind == Node::Kind::Layout) {
            optional_attribute(QStringLiteral("stretch"), n.stretch);
            optional_attribute(QStringLiteral("rowstretch"), n.row_stretch);
            optional_attribute(QStringLiteral("columnstretch"), n.column_stretch);
            optional_attribute(QStringLiteral("rowminimumheight"), n.row_minimum_height);
            optional_attribute(QStringLiteral("columnminimumwidth"), n.column_minimum_width);
        }
        for (const Property& p : n.properties) property(QStringLiteral("property"), p);
        for (const Property& p : n.attributes) property(QStringLiteral("attribute"), p);
        for (const Node& c : n.children) {
            if (n.kind == Node::Kind::Layout) {
                xml_.writeStartElement(QStringLiteral("item"));
                if (c.row >= 0) xml_.writeAttribute(QStringLiteral("row"), QString::number(c.row));
                if (c.column >= 0) xml_.writeAttribute(QStringLiteral("column"), QString::number(c.column));
                if (c.row_span != 1) xml_.writeAttribute(QStringLiteral("rowspan"), QString::number(c.row_span));
                if (c.column_span != 1) xml_.writeAttribute(QStringLiteral("colspan"), QString::number(c.column_span));
                if (!c.alignment.isEmpty()) xml_.writeAttribute(QStringLiteral("alignment"), c.alignment);
                node(c);
                xml_.writeEndElement();
            } else {
                node(c);
            }
        }
        xml_.writeEndElement();
    }

    void property(const QString& element, const Property& p) {
        xml_.writeStartElement(element);
        xml_.writeAttribute(QStringLiteral("name"), p.name);
        if (!p.stdset) xml_.writeAttribute(QStringLiteral("stdset"), QStringLiteral("0"));
        value(p.value);
        xml_.writeEndElement();
    }

    void value(const Value& v) {
        using T = Value::Type;
        switch (v.type) {
        case T::String: text_element(QStringLiteral("string"), v.text); break;
        case T::Number: number_element(QStringLiteral("number"), v.number); break;
        case T::Double: text_element(QStringLiteral("double"), QString::number(v.real, 'g', 17)); break;
        case T::Bool: text_element(QStringLiteral("bool"), v.number ? QStringLiteral("true") : QStringLiteral("false")); break;
        case T::Enum: text_element(QStringLiteral("enum"), v.text); break;
        case T::Set: text_element(QStringLiteral("set"), v.text); break;
        case T::Rect:
            xml_.writeStartElement(QStringLiteral("rect"));
            number_element(QStringLiteral("x"), v.x);
            number_element(QStringLiteral("y"), v.y);
            number_element(QStringLiteral("width"), v.w);
            number_element(QStringLiteral("height"), v.h);
            xml_.writeEndElement();
            break;
        case T::Size:
            xml_.writeStartElement(QStringLiteral("size"));
            number_element(QStringLiteral("width"), v.w);
            number_element(QStringLiteral("height"), v.h);
            xml_.writeEndElement();
            break;
        case T::Point:
            xml_.writeStartElement(QStringLiteral("point"));
            number_element(QStringLiteral("x"), v.x);
            number_element(QStringLiteral("y"), v.y);
            xml_.writeEndElement();
            break;
        case T::SizePolicy:
            xml_.writeStartElement(QStringLiteral("sizepolicy"));
            xml_.writeAttribute(QStringLiteral("hsizetype"), v.text);
            xml_.writeAttribute(QStringLiteral("vsizetype"), v.text2);
            number_element(QStringLiteral("horstretch"), v.x);
            number_element(QStringLiteral("verstretch"), v.y);
            xml_.writeEndElement();
            break;
        case T::IconSet:
            xml_.writeStartElement(QStringLiteral("iconset"));
            optional_attribute(QStringLiteral("theme"), v.text2);
            if (!v.text.isEmpty()) text_element(QStringLiteral("normaloff"), v.text);
            xml_.writeEndElement();
            break;
        case T::Pixmap: text_element(QStringLiteral("pixmap"), v.text); break;
        case T::StringList:
            xml_.writeStartElement(QStringLiteral("stringlist"));
            for (const QString& s : v.list) text_element(QStringLiteral("string"), s);
            xml_.writeEndElement();
            break;
        case T::Cursor:
            if (v.text.isEmpty()) number_element(QStringLiteral("cursor"), v.number);
            else text_element(QStringLiteral("cursorShape"), v.text);
            break;
        case T::Font: {
            xml_.writeStartElement(QStringLiteral("font"));
            if (!v.text.isEmpty()) text_element(QStringLiteral("family"), v.text);
            if (v.number > 0) number_element(QStringLiteral("pointsize"), v.number);
            if (v.weight > 0) number_element(QStringLiteral("weight"), v.weight);
            auto flag = [&](const QString& name, int f) {
                if (f >= 0) text_element(name, f ? QStringLiteral("true") : QStringLiteral("false"));
            };
            flag(QStringLiteral("bold"), v.bold);
            flag(QStringLiteral("italic"), v.italic);
            flag(QStringLiteral("underline"), v.underline);
            flag(QStringLiteral("strikeout"), v.strikeout);
            xml_.writeEndElement();
            break;
        }
        case T::Color:
            xml_.writeStartElement(QStringLiteral("color"));
            xml_.writeAttribute(QStringLiteral("alpha"), QString::number(v.h));
            number_element(QStringLiteral("red"), v.x);
            number_element(QStringLiteral("green"), v.y);
            number_element(QStringLiteral("blue"), v.w);
            xml_.writeEndElement();
            break;
        }
    }

    QXmlStreamWriter xml_;
};

}  // namespace

ParseResult parse(QByteArrayView bytes) {
    ParseResult result;
    Reader(bytes, result).run();
    return result;
}

QByteArray write(const Document& document) {
    QByteArray out;
    Writer(&out).run(document);
    return out;
}

}  // namespace vantorel::ui::skin
