// SPDX-License-Identifier: GPL-2.0-or-later
// Builds widgets from the plain tree of skin_parser.h: each widget is made
// with its final parent, each property set once, and layouts filled as the
// items come. Relative file names (icons, pixmaps) are taken from the
// resource folder.
#include "ui/skin_loader.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>

#include <algorithm>
#include <functional>
#include <iterator>
#include <optional>

#include "core/trace.h"
#include "ui/controls.h"
#include "ui/resources.h"
#include "ui/skin_parser.h"
#include "ui/startup_warmup.h"
#include "ui/theme_style.h"
#include "ui/widgets.h"

namespace vantorel::ui {

namespace {

using skin::Node;
using skin::Property;
using skin::Value;

using Factory = QWidget* (*)(QWidget*);

template <class W>
QWidget* make(QWidget* parent) {
    return new W(parent);
}

QWidget* make_line(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    return line;
}

// The classes a skin may name.
Factory factory_for(const QString& class_name) {
    static const QHash<QString, Factory> table = {
        {QStringLiteral("QWidget"), &make<QWidget>},
        {QStringLiteral("QFrame"), &make<QFrame>},
        {QStringLiteral("Line"), &make_line},
        {QStringLiteral("QLabel"), &make<Label>},
        {QStringLiteral("QPushButton"), &make<QPushButton>},
        {QStringLiteral("QToolButton"), &make<QToolButton>},
        {QStringLiteral("QCheckBox"), &make<QCheckBox>},
        {QStringLiteral("QRadioButton"), &make<QRadioButton>},
        {QStringLiteral("QLineEdit"), &make<QLineEdit>},
        {QStringLiteral("QComboBox"), &make<QComboBox>},
        {QStringLiteral("QListWidget"), &make<QListWidget>},
        {QStringLiteral("QProgressBar"), &make<QProgressBar>},
        {QStringLiteral("QSlider"), &make<QSlider>},
        {QStringLiteral("QScrollBar"), &make<QScrollBar>},
        {QStringLiteral("QSpinBox"), &make<QSpinBox>},
        {QStringLiteral("QDoubleSpinBox"), &make<QDoubleSpinBox>},
        {QStringLiteral("QStackedWidget"), &make<QStackedWidget>},
        {QStringLiteral("QScrollArea"), &make<QScrollArea>},
        {QStringLiteral("QGroupBox"), &make<QGroupBox>},
        {QStringLiteral("QTabWidget"), &make<QTabWidget>},
        {QStringLiteral("QTextEdit"), &make<QTextEdit>},
        {QStringLiteral("QPlainTextEdit"), &make<QPlainTextEdit>},
        {QStringLiteral("SvgImage"), &make<SvgImage>},
        {QStringLiteral("ElidingButton"), &make<ElidingButton>},
        {QStringLiteral("ColorPalette"), &make<ColorPalette>},
    };
    return table.value(class_name, nullptr);
}

int to_int(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

class Builder {
public:
    Builder(const QString& skin_file, const skin::Document& doc, const QDir& dir)
        : file_(skin_file), doc_(doc), dir_(dir) {}

    // Targets of "include" in build order: the caller loads them.
    struct Include {
        QWidget* target = nullptr;
        QString file;
        bool later = false;  // "includeLater": built when the window asks
    };
    std::vector<Include> includes;

    QWidget* build(QWidget* parent) {
        root_ = widget(doc_.root, parent, nullptr);
        if (!root_) return nullptr;
        finish();
        return root_;
    }

private:
    void note(const char* what, const QString& detail) {
        trace("skin %s: %s %s\n", qPrintable(file_), what, qPrintable(detail));
    }

    QWidget* create(const QString& class_name, QWidget* parent) {
        if (Factory f = factory_for(class_name)) return f(parent);
        // A custom widget we do not have: build the class it extends.
        for (const skin::CustomWidget& c : doc_.custom_widgets) {
            if (c.class_name != class_name || c.extends == class_name) continue;
            if (Factory f = factory_for(c.extends)) {
                note("builds as its base class:", class_name + QStringLiteral(" -> ") + c.extends);
                return f(parent);
            }
        }
        return nullptr;
    }

    // Makes the widget of `n` under `parent`. `container` is the widget that
    // holds it when that is a stack, scroll area or tab widget.
    QWidget* widget(const Node& n, QWidget* parent, QWidget* container) {
        QWidget* w = create(n.class_name, parent);
        if (!w) {
            note("unknown widget class, left out:", n.class_name + QStringLiteral(" ") + n.name);
            return nullptr;
        }
        w->setObjectName(n.name);
        if (!n.name.isEmpty()) by_name_.insert(n.name, w);
        const Property* current_index = nullptr;
        bool hidden = false;
        const std::size_t includes_before = includes.size();
        bool include_later = false;
        for (const Property& p : n.properties) {
            if (p.name == u"currentIndex" || p.name == u"currentRow") {
                current_index = &p;  // once the pages or items exist
                continue;
            }
            if (const std::optional<QString> file = skin::include_of(p)) {
                if (!file->isEmpty()) includes.push_back(Include{w, *file, false});
                continue;
            }
            if (!p.stdset && p.name == u"includeLater") {
                include_later = variant(w, p).toBool();
                continue;
            }
            if (!p.stdset && p.name == u"styleSheetFile") {
                // Before the children exist: each is styled once, as it is
                // first shown, instead of again when the sheet arrives.
                if (p.value.type == Value::Type::String) style_from_file(w, p.value.text);
                continue;
            }
            if (p.name == u"styleSheet" && p.value.type == Value::Type::String) {
                set_sheet(w, p.value.text);
                continue;
            }
            if (!p.stdset && p.name == u"hidden") hidden = &n != &doc_.root && variant(w, p).toBool();
            apply(w, p, &n == &doc_.root);
        }
        for (const Property& a : n.attributes) {
            if (a.name == u"buttonGroup" && a.value.type == Value::Type::String) {
                if (auto* b = qobject_cast<QAbstractButton*>(w)) group_members_.emplace_back(b, a.value.text);
            }
        }

        for (const Node& c : n.children) {
            switch (c.kind) {
            case Node::Kind::Widget: {
                QWidget* holder = w;
                if (auto* area = qobject_cast<QScrollArea*>(w)) holder = area->viewport();
                widget(c, holder, w);
                break;
            }
            case Node::Kind::Layout: top_layout(c, w); break;
            case Node::Kind::Item: item(c, w); break;
            case Node::Kind::Spacer: note("spacer outside a layout, left out:", c.name); break;
            }
        }
        // Hidden before its container sizes it: a control that starts hidden
        // (help shown only on request) is then neither measured nor styled
        // at start-up.
        if (hidden) w->setVisible(false);
        for (std::size_t i = includes_before; i < includes.size(); ++i)
            if (includes[i].target == w) includes[i].later = include_later;
        // Into the stack, scroll area or tab widget once complete: a scroll
        // area sizes its widget by the hint it has then.
        add_to_container(n, w, container);
        if (current_index && current_index->value.type == Value::Type::Number) {
            w->setProperty(current_index->name.toLatin1().constData(), to_int(current_index->value.number));
        }
        return w;
    }

    void add_to_container(const Node& n, QWidget* w, QWidget* container) {
        if (!container) return;
        if (auto* stack = qobject_cast<QStackedWidget*>(container)) {
            stack->addWidget(w);
        } else if (auto* area = qobject_cast<QScrollArea*>(container)) {
            if (area->widget()) {
                note("scroll area holds one widget; extra left as a child:", n.name);
            } else {
                area->setWidget(w);
                // Sizing it there styled it already, and the area then asked
                // it to fill its background: the theme decides that.
                if (w->testAttribute(Qt::WA_WState_Polished) &&
                    (w->testAttribute(Qt::WA_StyleSheet) || ThemeStyle::of(w))) {
                    w->style()->unpolish(w);
                    w->style()->polish(w);
                }
            }
        } else if (auto* tabs = qobject_cast<QTabWidget*>(container)) {
            QString title;
            QIcon icon;
            QString tip;
            for (const Property& a : n.attributes) {
                if (a.name == u"title" && a.value.type == Value::Type::String) title = a.value.text;
                else if (a.name == u"icon" && a.value.type == Value::Type::IconSet) icon = make_icon(a.value);
                else if (a.name == u"toolTip" && a.value.type == Value::Type::String) tip = a.value.text;
            }
            const int index = tabs->addTab(w, icon, title);
            if (!tip.isEmpty()) tabs->setTabToolTip(index, tip);
        }
    }

    // A combo box or list widget entry.
    void item(const Node& n, QWidget* owner) {
        QString text;
        QIcon icon;
        for (const Property& p : n.properties) {
            if (p.name == u"text" && p.value.type == Value::Type::String) text = p.value.text;
            else if (p.name == u"icon" && p.value.type == Value::Type::IconSet) icon = make_icon(p.value);
        }
        if (auto* combo = qobject_cast<QComboBox*>(owner)) combo->addItem(icon, text);
        else if (auto* list = qobject_cast<QListWidget*>(owner)) new QListWidgetItem(icon, text, list);
        else note("items only go into combo boxes and lists:", owner->objectName());
    }

    QLayout* make_layout(const Node& n, QWidget* owner) {
        QLayout* l = nullptr;
        if (n.class_name == u"QHBoxLayout") l = new QHBoxLayout(owner);
        else if (n.class_name == u"QVBoxLayout") l = new QVBoxLayout(owner);
        else if (n.class_name == u"QGridLayout") l = new QGridLayout(owner);
        else if (n.class_name == u"QFormLayout") l = new QFormLayout(owner);
        if (!l) {
            note("unknown layout class, left out:", n.class_name + QStringLiteral(" ") + n.name);
            return nullptr;
        }
        l->setObjectName(n.name);
        return l;
    }

    void top_layout(const Node& n, QWidget* owner) {
        if (owner->layout()) return note("a second layout, left out:", n.name);
        if (QLayout* l = make_layout(n, owner)) fill_layout(n, l, owner);
    }

    // Layout properties, items and stretch factors. `owner` is the widget
    // the layout's widgets belong to.
    void fill_layout(const Node& n, QLayout* l, QWidget* owner) {
        // The sides the skin gives; the others keep the style's, asked for
        // only when needed (asking styles the owner before its time).
        std::optional<int> side[4];  // left, top, right, bottom
        if (doc_.layout_default_margin >= 0) std::fill(std::begin(side), std::end(side), doc_.layout_default_margin);
        if (doc_.layout_default_spacing >= 0) l->setSpacing(doc_.layout_default_spacing);
        for (const Property& p : n.properties) {
            const bool number = p.value.type == Value::Type::Number;
            const int v = std::clamp(to_int(p.value.number), -1, skin::kMaxSize);
            if (number && p.name == u"leftMargin") side[0] = v;
            else if (number && p.name == u"topMargin") side[1] = v;
            else if (number && p.name == u"rightMargin") side[2] = v;
            else if (number && p.name == u"bottomMargin") side[3] = v;
            else if (number && p.name == u"margin") std::fill(std::begin(side), std::end(side), v);
            else if (number && p.name == u"spacing") l->setSpacing(v);
            else if (number && p.name == u"horizontalSpacing") set_spacing(l, v, Qt::Horizontal);
            else if (number && p.name == u"verticalSpacing") set_spacing(l, v, Qt::Vertical);
            else apply(l, p, false);
        }
        if (std::any_of(std::begin(side), std::end(side), [](const std::optional<int>& s) { return s.has_value(); })) {
            const bool all = std::all_of(std::begin(side), std::end(side), [](const std::optional<int>& s) { return s.has_value(); });
            const QMargins style = all ? QMargins() : l->contentsMargins();
            l->setContentsMargins(side[0].value_or(style.left()), side[1].value_or(style.top()),
                                  side[2].value_or(style.right()), side[3].value_or(style.bottom()));
        }

        auto* box = qobject_cast<QBoxLayout*>(l);
        auto* grid = qobject_cast<QGridLayout*>(l);
        auto* form = qobject_cast<QFormLayout*>(l);
        for (const Node& c : n.children) {
            const Qt::Alignment align = alignment(c.alignment);
            QWidget* w = nullptr;
            QLayout* sub = nullptr;
            QLayoutItem* spacer = nullptr;
            if (c.kind == Node::Kind::Widget) {
                w = widget(c, owner, nullptr);
                if (!w) continue;
            } else if (c.kind == Node::Kind::Layout) {
                sub = make_layout(c, nullptr);
                if (!sub) continue;
            } else if (c.kind == Node::Kind::Spacer) {
                spacer = make_spacer(c);
            } else {
                continue;
            }
            // The layout takes the item before its own items are made, as
            // the widgets of a nested layout belong to the same owner.
            if (box) {
                if (w) box->addWidget(w, 0, align);
                else if (sub) box->addLayout(sub);
                else box->addItem(spacer);
            } else if (grid) {
                const int row = c.row >= 0 ? c.row : grid->rowCount();
                const int column = std::max(c.column, 0);
                if (w) grid->addWidget(w, row, column, c.row_span, c.column_span, align);
                else if (sub) grid->addLayout(sub, row, column, c.row_span, c.column_span, align);
                else grid->addItem(spacer, row, column, c.row_span, c.column_span, align);
            } else if (form) {
                const int row = c.row >= 0 ? c.row : form->rowCount();
                const QFormLayout::ItemRole role = c.column_span > 1 ? QFormLayout::SpanningRole
                                                   : c.column > 0   ? QFormLayout::FieldRole
                                                                    : QFormLayout::LabelRole;
                if (w) form->setWidget(row, role, w);
                else if (sub) form->setLayout(row, role, sub);
                else form->setItem(row, role, spacer);
            }
            if (sub) {
                if (align) sub->setAlignment(align);
                fill_layout(c, sub, owner);
            }
        }
        apply_stretch(n, box, grid);
    }

    // Grids and forms have a spacing per direction, without a property for it.
    void set_spacing(QLayout* l, int v, Qt::Orientation o) {
        if (auto* grid = qobject_cast<QGridLayout*>(l)) {
            if (o == Qt::Horizontal) grid->setHorizontalSpacing(v);
            else grid->setVerticalSpacing(v);
        } else if (auto* form = qobject_cast<QFormLayout*>(l)) {
            if (o == Qt::Horizontal) form->setHorizontalSpacing(v);
            else form->setVerticalSpacing(v);
        } else {
            note("spacing by direction only applies to grids and forms:", l->objectName());
        }
    }

    static void for_each_number(const QString& list, int limit, const std::function<void(int, int)>& f) {
        if (list.isEmpty()) return;
        const QStringList parts = list.split(u',');
        for (int i = 0; i < parts.size() && i < limit; ++i) {
            bool ok = false;
            const long long v = parts[i].trimmed().toLongLong(&ok);
            if (ok) f(i, static_cast<int>(std::clamp<long long>(v, 0, skin::kMaxSize)));
        }
    }

    void apply_stretch(const Node& n, QBoxLayout* box, QGridLayout* grid) {
        if (box) for_each_number(n.stretch, box->count(), [&](int i, int v) { box->setStretch(i, v); });
        if (!grid) return;
        for_each_number(n.row_stretch, grid->rowCount(), [&](int i, int v) { grid->setRowStretch(i, v); });
        for_each_number(n.column_stretch, grid->columnCount(), [&](int i, int v) { grid->setColumnStretch(i, v); });
        for_each_number(n.row_minimum_height, grid->rowCount(), [&](int i, int v) { grid->setRowMinimumHeight(i, v); });
        for_each_number(n.column_minimum_width, grid->columnCount(), [&](int i, int v) { grid->setColumnMinimumWidth(i, v); });
    }

    QSpacerItem* make_spacer(const Node& n) {
        QSize size(0, 0);
        QSizePolicy::Policy type = QSizePolicy::Expanding;
        Qt::Orientation orientation = Qt::Horizontal;
        for (const Property& p : n.properties) {
            if (p.name == u"sizeHint" && p.value.type == Value::Type::Size) size = QSize(p.value.w, p.value.h);
            else if (p.name == u"sizeType") type = policy(p.value.text, type);
            else if (p.name == u"orientation") orientation = p.value.text.endsWith(u"Vertical") ? Qt::Vertical : Qt::Horizontal;
            else if (p.name != u"name") note("spacer property left out:", p.name);
        }
        if (orientation == Qt::Vertical) return new QSpacerItem(size.width(), size.height(), QSizePolicy::Minimum, type);
        return new QSpacerItem(size.width(), size.height(), type, QSizePolicy::Minimum);
    }

    static QSizePolicy::Policy policy(const QString& key, QSizePolicy::Policy fallback) {
        static const QMetaEnum e = QMetaEnum::fromType<QSizePolicy::Policy>();
        bool ok = false;
        const int v = e.keyToValue(key.toLatin1().constData(), &ok);
        return ok ? static_cast<QSizePolicy::Policy>(v) : fallback;
    }

    static Qt::Alignment alignment(const QString& keys) {
        if (keys.isEmpty()) return {};
        static const QMetaEnum e = QMetaEnum::fromType<Qt::Alignment>();
        bool ok = false;
        const int v = e.keysToValue(keys.toLatin1().constData(), &ok);
        return ok ? Qt::Alignment(v) : Qt::Alignment();
    }

    void style_from_file(QWidget* w, const QString& name) {
        QFile sheet(file_path(name));
        if (!sheet.open(QIODevice::ReadOnly)) {
            note("style sheet not found:", name);
            return;
        }
        set_sheet(w, QString::fromUtf8(sheet.readAll()));
    }

    // Through the theme where it draws w, so that the theme's rules hold
    // under it as they do under a sheet set on the widget.
    static void set_sheet(QWidget* w, const QString& sheet) {
        if (ThemeStyle* theme = ThemeStyle::of(w)) theme->setScopeSheet(w, sheet);
        else w->setStyleSheet(sheet);
    }

    QString file_path(const QString& name) const { return name.isEmpty() ? name : dir_.absoluteFilePath(name); }

    QIcon make_icon(const Value& v) const {
        const QString path = file_path(v.text);
        if (!v.text2.isEmpty()) return QIcon::fromTheme(v.text2, path.isEmpty() ? QIcon() : QIcon(path));
        return path.isEmpty() ? QIcon() : QIcon(path);
    }

    // The QVariant for a value, typed for the property it goes to when the
    // object has one of that name.
    QVariant variant(const QObject* o, const Property& p) const {
        using T = Value::Type;
        const Value& v = p.value;
        switch (v.type) {
        case T::String: return v.text;
        case T::Number: return to_int(v.number);
        case T::Double: return v.real;
        case T::Bool: return bool(v.number);
        case T::Enum:
        case T::Set: {
            const QMetaObject* mo = o->metaObject();
            const int index = mo->indexOfProperty(p.name.toLatin1().constData());
            if (index < 0 || !mo->property(index).isEnumType()) return v.text;
            const QMetaEnum e = mo->property(index).enumerator();
            bool ok = false;
            const QByteArray key = v.text.toLatin1();
            const int value = e.isFlag() ? e.keysToValue(key.constData(), &ok) : e.keyToValue(key.constData(), &ok);
            return ok ? QVariant(value) : QVariant();
        }
        case T::Rect: return QRect(v.x, v.y, v.w, v.h);
        case T::Size: return QSize(v.w, v.h);
        case T::Point: return QPoint(v.x, v.y);
        case T::SizePolicy: {
            QSizePolicy sp(policy(v.text, QSizePolicy::Preferred), policy(v.text2, QSizePolicy::Preferred));
            sp.setHorizontalStretch(v.x);
            sp.setVerticalStretch(v.y);
            return sp;
        }
        case T::IconSet: return make_icon(v);
        case T::Pixmap: return QPixmap(file_path(v.text));
        case T::StringList: return v.list;
        case T::Cursor: {
            if (v.text.isEmpty()) return QCursor(static_cast<Qt::CursorShape>(std::clamp<long long>(v.number, 0, Qt::LastCursor)));
            static const QMetaEnum e = QMetaEnum::fromType<Qt::CursorShape>();
            bool ok = false;
            const int shape = e.keyToValue(v.text.toLatin1().constData(), &ok);
            return ok ? QVariant(QCursor(static_cast<Qt::CursorShape>(shape))) : QVariant();
        }
        case T::Font: {
            QFont f;
            if (!v.text.isEmpty()) f.setFamilies({v.text});
            if (v.number > 0) f.setPointSize(to_int(v.number));
            if (v.weight > 0) f.setWeight(static_cast<QFont::Weight>(v.weight));
            if (v.bold >= 0) f.setBold(v.bold);
            if (v.italic >= 0) f.setItalic(v.italic);
            if (v.underline >= 0) f.setUnderline(v.underline);
            if (v.strikeout >= 0) f.setStrikeOut(v.strikeout);
            return f;
        }
        case T::Color: return QColor(v.x, v.y, v.w, v.h);
        }
        return {};
    }

    // Sets one property; the frequent ones go to their setters directly.
    void apply(QObject* o, const Property& p, bool top) {
        using T = Value::Type;
        const Value& v = p.value;
        if (auto* w = qobject_cast<QWidget*>(o); w && p.stdset) {
            if (p.name == u"geometry" && v.type == T::Rect) {
                // The top widget keeps its place; only its size comes from the file.
                if (top) w->resize(v.w, v.h);
                else w->setGeometry(v.x, v.y, v.w, v.h);
                return;
            }
            if (p.name == u"minimumSize" && v.type == T::Size) return w->setMinimumSize(v.w, v.h);
            if (p.name == u"maximumSize" && v.type == T::Size) return w->setMaximumSize(v.w, v.h);
            if (p.name == u"sizePolicy" && v.type == T::SizePolicy) return w->setSizePolicy(variant(o, p).value<QSizePolicy>());
            if (p.name == u"buddy" && v.type == T::String) {
                if (auto* label = qobject_cast<QLabel*>(w)) buddies_.emplace_back(label, v.text);
                return;
            }
            if (p.name == u"orientation" && v.type == T::Enum && qobject_cast<QFrame*>(w) &&
                w->metaObject()->indexOfProperty("orientation") < 0) {
                // A Designer "Line": its orientation is the frame's shape.
                static_cast<QFrame*>(w)->setFrameShape(v.text.endsWith(u"Vertical") ? QFrame::VLine : QFrame::HLine);
                return;
            }
        }
        const QVariant value = variant(o, p);
        if (!value.isValid()) return note("property value not understood, left out:", p.name + QStringLiteral("=") + v.text);
        const QByteArray name = p.name.toLatin1();
        if (p.stdset && o->metaObject()->indexOfProperty(name.constData()) < 0) {
            note("no such property, kept as a dynamic one:", QString::fromLatin1(o->metaObject()->className()) + QStringLiteral("::") + p.name);
        }
        o->setProperty(name.constData(), value);
    }

    // What needs every widget made first: buddies, button groups, tab order,
    // connections by name.
    void finish() {
        for (const auto& [label, name] : buddies_) {
            if (QWidget* buddy = by_name_.value(name)) label->setBuddy(buddy);
            else note("buddy not found:", name);
        }
        QHash<QString, QButtonGroup*> groups;
        for (const skin::ButtonGroup& g : doc_.button_groups) {
            auto* group = new QButtonGroup(root_);
            group->setObjectName(g.name);
            for (const Property& p : g.properties) apply(group, p, false);
            groups.insert(g.name, group);
        }
        for (const auto& [button, name] : group_members_) {
            if (QButtonGroup* g = groups.value(name)) g->addButton(button);
            else note("button group not declared:", name);
        }
        QWidget* previous = nullptr;
        for (const QString& name : doc_.tab_stops) {
            QWidget* w = by_name_.value(name);
            if (!w) {
                note("tab stop not found:", name);
                continue;
            }
            if (previous) QWidget::setTabOrder(previous, w);
            previous = w;
        }
        for (const skin::Connection& c : doc_.connections) {
            QObject* sender = c.sender == root_->objectName() ? root_ : by_name_.value(c.sender);
            QObject* receiver = c.receiver == root_->objectName() ? root_ : by_name_.value(c.receiver);
            if (!sender || !receiver) {
                note("connection between unknown objects left out:", c.sender + QStringLiteral(" -> ") + c.receiver);
                continue;
            }
            // The string form of SIGNAL() and SLOT().
            const QByteArray signal = "2" + c.signal.toLatin1();
            const QByteArray slot = "1" + c.slot.toLatin1();
            if (!QObject::connect(sender, signal.constData(), receiver, slot.constData())) {
                note("connection failed:", c.signal + QStringLiteral(" -> ") + c.slot);
            }
        }
    }

    const QString& file_;
    const skin::Document& doc_;
    QDir dir_;
    QWidget* root_ = nullptr;
    QHash<QString, QWidget*> by_name_;
    std::vector<std::pair<QLabel*, QString>> buddies_;
    std::vector<std::pair<QAbstractButton*, QString>> group_members_;
};

QWidget* load_file(const QString& skin_file, QWidget* parent, int depth, std::vector<SkinLoader::Pending>* later);

// Builds `skin_file` into `target`, in a vertical box of its own when the
// container has no layout.
QWidget* include_into(const QString& skin_file, QWidget* target, int depth, std::vector<SkinLoader::Pending>* later) {
    QWidget* child = load_file(skin_file, target, depth, later);
    if (!child) return nullptr;
    auto* layout = target->layout();
    if (!layout) {
        auto* box = new QVBoxLayout(target);
        box->setContentsMargins(0, 0, 0, 0);
        box->setSpacing(0);
        layout = box;
    }
    layout->addWidget(child);
    return child;
}

QWidget* load_file(const QString& skin_file, QWidget* parent, int depth, std::vector<SkinLoader::Pending>* later) {
    ResourceManager& rm = ResourceManager::instance();
    const QString path = rm.path(skin_file);
    // Read ahead while the program started, or read now.
    std::optional<skin::ParseResult> ahead = StartupWarmup::take_skin(path);
    if (!ahead) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            trace("skin %s: cannot open %s\n", qPrintable(skin_file), qPrintable(path));
            return nullptr;
        }
        ahead = skin::parse(file.readAll());
    }
    const skin::ParseResult& parsed = *ahead;
    for (const QString& s : parsed.skipped) trace("skin %s: left out %s\n", qPrintable(skin_file), qPrintable(s));
    if (!parsed.ok) {
        trace("skin %s: %s\n", qPrintable(skin_file), qPrintable(parsed.error));
        return nullptr;
    }
    Builder builder(skin_file, parsed.document, QDir(rm.resource_path()));
    QWidget* root = builder.build(parent);
    if (!root) {
        trace("skin %s: the root widget could not be built\n", qPrintable(skin_file));
        return nullptr;
    }
    // Containers that name another skin file get it built inside them. The
    // depth limit stops a skin that includes itself.
    for (const Builder::Include& inc : builder.includes) {
        if (depth >= 8) {
            trace("skin %s: include %s nested too deep\n", qPrintable(skin_file), qPrintable(inc.file));
            continue;
        }
        if (inc.later && later) {
            later->push_back(SkinLoader::Pending{inc.target, inc.file});
            continue;
        }
        include_into(inc.file, inc.target, depth + 1, later);
    }
    if (depth == 0) ApplyResourceTexts(root);
    return root;
}

}  // namespace

QWidget* SkinLoader::load(const QString& skin_file, QWidget* parent, std::vector<Pending>* later) {
    return load_file(skin_file, parent, 0, later);
}

QWidget* SkinLoader::include(const QString& skin_file, QWidget* container) {
    if (!container) return nullptr;
    QWidget* child = include_into(skin_file, container, 1, nullptr);
    if (child) ApplyResourceTexts(child);
    return child;
}

}  // namespace vantorel::ui
