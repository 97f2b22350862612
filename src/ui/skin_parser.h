// SPDX-License-Identifier: GPL-2.0-or-later
// Reads a skin file (Qt Designer's .ui XML) into a small tree of plain nodes.
// Qt Core only, and safe on any bytes: nesting, node count and text sizes are
// bounded, and numbers from the file are clamped before anyone allocates by
// them. What the reader does not know it skips with a trace.
//
// The subset is what our skins and Designer write for the widgets we build:
// widgets, box/grid/form layouts with their items, spacers, properties of the
// common value types, layout and item attributes, combo/list items, custom
// widgets, button groups, tab stops and connections by name.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace vantorel::ui::skin {

// Limits on what one file may hold.
inline constexpr int kMaxDepth = 64;          // nested elements below <ui>
inline constexpr int kMaxNodes = 20000;       // widgets, layouts, spacers, items
inline constexpr int kMaxProperties = 200000; // properties and attributes in all
inline constexpr int kMaxGridIndex = 255;     // rows, columns and spans
inline constexpr int kMaxSize = 16777215;     // QWIDGETSIZE_MAX

struct Value {
    enum class Type {
        String,      // text
        Number,      // number
        Double,      // real
        Bool,        // number (0/1)
        Enum,        // text: "Qt::Horizontal"
        Set,         // text: "Qt::AlignLeft|Qt::AlignVCenter"
        Rect,        // x y w h
        Size,        // w h
        Point,       // x y
        SizePolicy,  // text: horizontal policy, text2: vertical, x/y: stretches
        IconSet,     // text: normal-off file, text2: theme
        Pixmap,      // text: file
        StringList,  // list
        Cursor,      // number: shape, or text: Qt::CursorShape key
        Font,        // text: family, number: point size (-1 unset), flags below
        Color,       // x y w h: red green blue alpha
    };
    Type type = Type::String;
    QString text;
    QString text2;
    QStringList list;
    long long number = 0;
    double real = 0;
    int x = 0, y = 0, w = 0, h = 0;
    // Font only: -1 unset, 0 off, 1 on; weight -1 unset.
    int bold = -1, italic = -1, underline = -1, strikeout = -1, weight = -1;

    bool operator==(const Value&) const = default;
};

struct Property {
    QString name;
    bool stdset = true;  // false: a dynamic property (stdset="0")
    Value value;

    bool operator==(const Property&) const = default;
};

struct Node {
    enum class Kind { Widget, Layout, Spacer, Item };  // Item: a combo/list entry
    Kind kind = Kind::Widget;
    QString class_name;  // widgets and layouts
    QString name;
    std::vector<Property> properties;
    std::vector<Property> attributes;  // <attribute> of a widget (tab title, button group)
    // Widget: its child widgets, its layout (at most one) and its items, in
    // file order. Layout: its items (widgets, layouts, spacers).
    std::vector<Node> children;

    // Where this node sits in its layout (-1: not given).
    int row = -1, column = -1, row_span = 1, column_span = 1;
    QString alignment;  // "Qt::AlignHCenter"
    // Layout attributes: "1,0,2" lists as Designer writes them.
    QString stretch, row_stretch, column_stretch, row_minimum_height, column_minimum_width;

    bool operator==(const Node&) const = default;
    const Property* property(QStringView name) const;
};

struct CustomWidget {
    QString class_name, extends, header;
    bool operator==(const CustomWidget&) const = default;
};

struct ButtonGroup {
    QString name;
    std::vector<Property> properties;
    bool operator==(const ButtonGroup&) const = default;
};

struct Connection {
    QString sender, signal, receiver, slot;
    bool operator==(const Connection&) const = default;
};

struct Document {
    QString class_name;  // <class>
    Node root;
    std::vector<CustomWidget> custom_widgets;
    std::vector<ButtonGroup> button_groups;
    QStringList tab_stops;
    std::vector<Connection> connections;
    int layout_default_margin = -1, layout_default_spacing = -1;

    bool operator==(const Document&) const = default;
};

struct ParseResult {
    bool ok = false;
    QString error;      // when !ok
    QStringList skipped; // what was not understood and left out
    Document document;
};

// A container's "include" property: the skin file it names, empty when it
// names none. Nothing for any other property.
std::optional<QString> include_of(const Property& p);

// Parses the bytes of a .ui file. `ok` is false for XML that is not
// well-formed, a file without a root widget, or one over the limits above.
ParseResult parse(QByteArrayView bytes);

// Writes a document back as .ui XML that parse() reads to the same document.
QByteArray write(const Document& document);

}  // namespace vantorel::ui::skin
