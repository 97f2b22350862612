// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/theme_style.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDynamicPropertyChangeEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSizeGrip>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>

#include <utility>

namespace vantorel::ui {

namespace {

// What the sheet sets a size limit with, in the order of Styled::limits.
constexpr const char* kLimitMarks[4] = {"_q_stylesheet_minw", "_q_stylesheet_minh", "_q_stylesheet_maxw",
                                        "_q_stylesheet_maxh"};

// Size limit i (as kLimitMarks) of w set to that of from, or to Qt's default.
void SetLimit(QWidget* w, int i, const QWidget* from) {
    switch (i) {
    case 0: w->setMinimumWidth(from ? from->minimumWidth() : 0); break;
    case 1: w->setMinimumHeight(from ? from->minimumHeight() : 0); break;
    case 2: w->setMaximumWidth(from ? from->maximumWidth() : QWIDGETSIZE_MAX); break;
    default: w->setMaximumHeight(from ? from->maximumHeight() : QWIDGETSIZE_MAX); break;
    }
}

struct Maker {
    const QMetaObject* type;
    QWidget* (*make)(QWidget* parent);
};

template <typename T>
QWidget* Make(QWidget* parent) {
    return new T(parent);
}

// The classes a stand-in can be made of, most derived first where one
// derives from another.
const Maker kMakers[] = {
    {&QPushButton::staticMetaObject, Make<QPushButton>},
    {&QCheckBox::staticMetaObject, Make<QCheckBox>},
    {&QRadioButton::staticMetaObject, Make<QRadioButton>},
    {&QToolButton::staticMetaObject, Make<QToolButton>},
    {&QLabel::staticMetaObject, Make<QLabel>},
    {&QLineEdit::staticMetaObject, Make<QLineEdit>},
    {&QSpinBox::staticMetaObject, Make<QSpinBox>},
    {&QComboBox::staticMetaObject, Make<QComboBox>},
    {&QSlider::staticMetaObject, Make<QSlider>},
    {&QScrollBar::staticMetaObject, Make<QScrollBar>},
    {&QProgressBar::staticMetaObject, Make<QProgressBar>},
    {&QListWidget::staticMetaObject, Make<QListWidget>},
    {&QScrollArea::staticMetaObject, Make<QScrollArea>},
    {&QStackedWidget::staticMetaObject, Make<QStackedWidget>},
    {&QMenu::staticMetaObject, Make<QMenu>},
    {&QSizeGrip::staticMetaObject, Make<QSizeGrip>},
    {&QDialog::staticMetaObject, Make<QDialog>},
    {&QFrame::staticMetaObject, Make<QFrame>},
    {&QWidget::staticMetaObject, Make<QWidget>},
};

const Maker& MakerFor(const QWidget* w) {
    for (const QMetaObject* mo = w->metaObject(); mo; mo = mo->superClass()) {
        for (const Maker& m : kMakers) {
            if (m.type == mo) return m;
        }
    }
    return kMakers[std::size(kMakers) - 1];
}

// Whether w is a part its parent made itself: a scroll area's viewport and
// bars, a combo box's list and its frame, and the parts of those; not what
// a scroll area shows in its viewport.
bool IsPart(const QWidget* w) {
    const QWidget* parent = w->parentWidget();
    if (!parent) return false;
    if (qobject_cast<const QComboBox*>(parent) || qobject_cast<const QAbstractScrollArea*>(parent)) return true;
    if (!IsPart(parent)) return false;
    const auto* area = qobject_cast<const QAbstractScrollArea*>(parent->parentWidget());
    return !(area && area->viewport() == parent);
}

bool SameKind(const QObject* a, const QObject* b) {
    return a->isWidgetType() && a->metaObject() == b->metaObject() && a->objectName() == b->objectName();
}

// The child of stand_in's parent that is to it what w is to its parent.
QWidget* SamePart(QWidget* parent_stand_in, const QWidget* w) {
    if (auto* combo = qobject_cast<QComboBox*>(parent_stand_in)) combo->view();  // makes its list
    int index = 0;
    for (const QObject* o : w->parentWidget()->children()) {
        if (o == w) break;
        if (SameKind(o, w)) ++index;
    }
    for (QObject* o : parent_stand_in->children()) {
        if (SameKind(o, w) && index-- == 0) return static_cast<QWidget*>(o);
    }
    return nullptr;
}

// The name the sheet knows w by. Qt names its tooltip only once it has made
// (and polished) it; the theme styles it by that name.
QString NameOf(const QWidget* w) {
    if (qstrcmp(w->metaObject()->className(), "QTipLabel") == 0) return QStringLiteral("qtooltip_label");
    return w->objectName();
}

// Whether the sheet paints the background of a widget of w's class (as Qt's
// style sheet decides it).
bool TakesStyledBackground(const QWidget* w) {
    return w->metaObject() == &QWidget::staticMetaObject || qobject_cast<const QHeaderView*>(w) ||
           qobject_cast<const QTabBar*>(w) || qobject_cast<const QFrame*>(w) || qobject_cast<const QMainWindow*>(w) ||
           qobject_cast<const QDialog*>(w);
}

}  // namespace

ThemeStyle::ThemeStyle(QString sheet, QStyle* base) : QProxyStyle(base), sheet_(std::move(sheet)) { learn(sheet_); }

ThemeStyle::~ThemeStyle() { delete root_; }

ThemeStyle* ThemeStyle::of(const QWidget* w) {
    return w ? qobject_cast<ThemeStyle*>(w->style()) : nullptr;
}

// The names the sheet tells widgets apart by: ids and attributes.
void ThemeStyle::learn(const QString& sheet) {
    static const QRegularExpression id(QStringLiteral("#([A-Za-z_][A-Za-z0-9_-]*)"));
    static const QRegularExpression attribute(QStringLiteral("\\[\\s*([A-Za-z_][A-Za-z0-9_-]*)"));
    // Colours are written with '#' too; an id follows a type, '*' or ']'.
    for (const QRegularExpressionMatch& m : id.globalMatch(sheet)) {
        const qsizetype at = m.capturedStart();
        const QChar before = at > 0 ? sheet.at(at - 1) : QChar();
        if (before.isLetterOrNumber() || before == u'*' || before == u']' || before == u'_') ids_.insert(m.captured(1));
    }
    for (const QRegularExpressionMatch& m : attribute.globalMatch(sheet)) {
        const QByteArray name = m.captured(1).toLatin1();
        if (!attributes_.contains(name)) attributes_.append(name);
    }
}

void ThemeStyle::setScopeSheet(QWidget* w, const QString& sheet) {
    learn(sheet);
    connect(w, &QObject::destroyed, this, &ThemeStyle::forget, Qt::UniqueConnection);
    int& id = scope_ids_[sheet];
    if (id == 0) {
        scope_texts_.append(sheet);
        id = int(scope_texts_.size());
    }
    scope_sheets_.insert(w, id);
    if (!w->testAttribute(Qt::WA_WState_Polished)) return;
    repolish(w);
    for (QWidget* child : w->findChildren<QWidget*>()) repolish(child);
}

void ThemeStyle::setOwnRules(QWidget* w, const QString& declarations) {
    if (declarations.isEmpty()) {
        own_rules_.remove(w);
    } else {
        connect(w, &QObject::destroyed, this, &ThemeStyle::forget, Qt::UniqueConnection);
        own_rules_.insert(w, declarations);
    }
    if (w->testAttribute(Qt::WA_WState_Polished)) repolish(w);
}

QString ThemeStyle::sheetFor(const QWidget* w) const {
    QString sheet = sheet_;
    for (const int scope : scopesOf(w)) sheet += u'\n' + scope_texts_.at(scope - 1);
    return sheet;
}

void ThemeStyle::forget(QObject* o) {
    pending_parts_.remove(o);
    const auto it = styled_.find(o);
    if (it != styled_.end()) {
        release(it->stand_in);
        styled_.erase(it);
    }
    scope_sheets_.remove(o);
    own_rules_.remove(o);
}

void ThemeStyle::release(QWidget* stand_in) {
    const auto it = own_uses_.find(stand_in);
    if (it == own_uses_.end() || --*it > 0) return;
    own_uses_.erase(it);
    stand_ins_.remove(own_keys_.take(stand_in));
    stand_in->deleteLater();
}

const QWidget* ThemeStyle::standInOf(const QWidget* w) const { return standIn(w); }

const QWidget* ThemeStyle::standIn(const QWidget* w) const {
    if (!w) return nullptr;
    const auto it = styled_.constFind(w);
    return it == styled_.cend() ? nullptr : it->stand_in.data();
}

QString ThemeStyle::keyOf(const QWidget* w, const Scopes& scopes) const {
    QString key = QLatin1String(MakerFor(w).type->className());
    key += u'\x1f';
    if (const QString name = NameOf(w); ids_.contains(name)) key += name;
    // Reading a property by name searches every class's list first: only
    // the properties w has are read.
    QList<bool>& declared = declared_[w->metaObject()];
    while (declared.size() < attributes_.size())
        declared.append(w->metaObject()->indexOfProperty(attributes_.at(declared.size()).constData()) >= 0);
    const QList<QByteArray> dynamic = w->dynamicPropertyNames();
    for (qsizetype i = 0; i < attributes_.size(); ++i) {
        key += u'\x1f';
        if (declared.at(i) || dynamic.contains(attributes_.at(i)))
            key += w->property(attributes_.at(i).constData()).toString();
    }
    key += u'\x1f';
    key += own_rules_.value(w);
    key += u'\x1f';
    if (const auto* edit = qobject_cast<const QLineEdit*>(w)) key += edit->isReadOnly() ? u'r' : u'w';
    if (const auto* combo = qobject_cast<const QComboBox*>(w)) key += combo->isEditable() ? u'e' : u'f';
    if (const auto* slider = qobject_cast<const QAbstractSlider*>(w)) key += slider->orientation() == Qt::Vertical ? u'v' : u'h';
    // The roles the sheet's colours go to (a tooltip's are its own).
    key += QChar(u'A' + w->foregroundRole());
    key += QChar(u'A' + w->backgroundRole());
    key += w->autoFillBackground() ? u'a' : u'-';
    key += w->testAttribute(Qt::WA_OpaquePaintEvent) ? u'o' : u'-';
    for (const int scope : scopes) {
        key += u'\x1e';
        key += QString::number(scope);
    }
    return key;
}

QWidget* ThemeStyle::host(const Scopes& scopes) {
    if (!root_) {
        root_ = new QWidget;
        root_->setObjectName(QStringLiteral("theme_stand_ins"));
        root_->setStyleSheet(sheet_);
    }
    QWidget* parent = root_;
    QString path;
    for (const int scope : scopes) {
        path += QString::number(scope) + u'/';
        QWidget*& h = hosts_[path];
        if (!h) {
            h = new QWidget(parent);
            h->setStyleSheet(scope_texts_.at(scope - 1));
        }
        parent = h;
    }
    return parent;
}

// The sheets over w, the outermost first.
ThemeStyle::Scopes ThemeStyle::scopesOf(const QWidget* w) const {
    Scopes scopes;
    if (scope_sheets_.isEmpty()) return scopes;
    for (; w; w = w->parentWidget()) {
        const auto own = scope_sheets_.constFind(w);
        if (own != scope_sheets_.cend()) scopes.prepend(*own);
    }
    return scopes;
}

QWidget* ThemeStyle::flatStandIn(QWidget* w, const Scopes& scopes, const QString& key) {
    QWidget*& s = stand_ins_[key];
    if (s) return s;
    QWidget* parent = host(scopes);
    // Made where it stays: moved there, it would be styled twice.
    s = MakerFor(w).make(parent);
    s->setAttribute(Qt::WA_DontShowOnScreen);
    if (const QString name = NameOf(w); ids_.contains(name)) s->setObjectName(name);
    for (const QByteArray& name : attributes_) {
        const QVariant value = w->property(name.constData());
        if (value.isValid()) s->setProperty(name.constData(), value);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(s)) edit->setReadOnly(qobject_cast<const QLineEdit*>(w)->isReadOnly());
    if (auto* combo = qobject_cast<QComboBox*>(s)) combo->setEditable(qobject_cast<const QComboBox*>(w)->isEditable());
    if (auto* slider = qobject_cast<QAbstractSlider*>(s))
        slider->setOrientation(qobject_cast<const QAbstractSlider*>(w)->orientation());
    s->setForegroundRole(w->foregroundRole());
    s->setBackgroundRole(w->backgroundRole());
    s->setAutoFillBackground(w->autoFillBackground());
    s->setAttribute(Qt::WA_OpaquePaintEvent, w->testAttribute(Qt::WA_OpaquePaintEvent));
    const QString own = own_rules_.value(w);
    if (!own.isEmpty()) {
        s->setStyleSheet(own);
        // One for each colour a swatch is given: it goes with its last user.
        own_uses_.insert(s, 0);
        own_keys_.insert(s, key);
    }
    s->ensurePolished();
    return s;
}

QWidget* ThemeStyle::partStandIn(QWidget* w) {
    // A part polished while its owner is still being made waits for the
    // owner (see polishParts).
    const QWidget* parent_stand_in = standIn(w->parentWidget());
    if (!parent_stand_in) return nullptr;
    QWidget* part = SamePart(const_cast<QWidget*>(parent_stand_in), w);
    if (part) part->ensurePolished();
    return part;
}

// The parts of w that have no stand-in yet (Qt polishes a scroll area's bars
// while it makes the area), now that w has one.
void ThemeStyle::polishParts(QWidget* w) {
    for (QObject* o : w->children()) {
        if (!o->isWidgetType()) continue;
        auto* child = static_cast<QWidget*>(o);
        if (!IsPart(child)) continue;
        polish(child);
        polishParts(child);
    }
}

void ThemeStyle::polish(QWidget* w) {
    QProxyStyle::polish(w);
    // Widgets under a sheet of their own (and the stand-ins) are the sheet's.
    if (w->style() != this) return;
    const bool part = IsPart(w);
    const Scopes scopes = scopesOf(w);
    QWidget* stand_in = part ? partStandIn(w) : flatStandIn(w, scopes, keyOf(w, scopes));
    if (!stand_in) {
        // A part Qt polished while it made the part's owner (a scroll
        // area's bars): looked at again when the owner has its stand-in,
        // or as the part shows.
        if (part) pending_parts_.insert(w);
        return;
    }
    Styled& styled = styled_[w];
    styled.scopes = scopes;
    if (styled.stand_in == stand_in) return;
    release(styled.stand_in);
    styled.stand_in = stand_in;
    if (own_uses_.contains(stand_in)) ++own_uses_[stand_in];
    takeOver(w, stand_in, styled);
    pending_parts_.remove(w);
    connect(w, &QObject::destroyed, this, &ThemeStyle::forget, Qt::UniqueConnection);
    if (qobject_cast<QAbstractScrollArea*>(w) || qobject_cast<QComboBox*>(w)) polishParts(w);
    // A combo box chose how its list looks as it was made, before it had a
    // stand-in: it chooses again.
    if (qobject_cast<QComboBox*>(w)) {
        QEvent change(QEvent::StyleChange);
        QCoreApplication::sendEvent(w, &change);
    }
}

void ThemeStyle::unpolish(QWidget* w) {
    const auto it = styled_.find(w);
    if (it != styled_.end()) {
        release(it->stand_in);
        giveBack(w, *it);
        styled_.erase(it);
    }
    QProxyStyle::unpolish(w);
}

// Which size limits the sheet set on a stand-in, read once: a stand-in
// draws many widgets, and reading a mark by name searches every class's
// properties first.
quint8 ThemeStyle::limitMarks(const QWidget* stand_in) {
    const auto it = limit_marks_.constFind(stand_in);
    if (it != limit_marks_.cend()) return *it;
    quint8 marks = 0;
    for (int i = 0; i < 4; ++i)
        if (stand_in->property(kLimitMarks[i]).toBool()) marks |= quint8(1u << i);
    limit_marks_.insert(stand_in, marks);
    connect(stand_in, &QObject::destroyed, this, [this](QObject* o) { limit_marks_.remove(o); });
    return marks;
}

// What the sheet did to the stand-in as it polished it, done to w.
void ThemeStyle::takeOver(QWidget* w, QWidget* stand_in, Styled& styled) {
    // As under a sheet, nothing comes down from the parent: a list's text
    // colour is not that of the widgets shown in it. The font and colours
    // are the stand-in's (Qt's for the class and the sheet's), with what w
    // was given of its own where the sheet says nothing.
    if (!styled.saved) {
        styled.font = w->font();
        styled.palette = w->palette();
        styled.saved = true;
    }
    QFont font = stand_in->font();
    font = font.resolve(styled.font);
    font.setResolveMask(QFont::AllPropertiesResolved);
    if (font != w->font()) w->setFont(font);
    QPalette palette = stand_in->palette();
    for (int g = 0; g < QPalette::NColorGroups; ++g) {
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            const auto group = QPalette::ColorGroup(g);
            const auto role = QPalette::ColorRole(r);
            if (styled.palette.isBrushSet(group, role) && !palette.isBrushSet(group, role))
                palette.setBrush(group, role, styled.palette.brush(group, role));
        }
    }
    palette.setResolveMask(~QPalette::ResolveMask(0));
    if (palette != w->palette() || w->palette().resolveMask() != palette.resolveMask()) w->setPalette(palette);
    const quint8 marks = limitMarks(stand_in);
    for (int i = 0; i < 4; ++i) {
        const bool set = marks & (1u << i);
        if (!set && !styled.limits[i]) continue;
        styled.limits[i] = set;
        SetLimit(w, i, set ? stand_in : nullptr);
    }
    if (stand_in->testAttribute(Qt::WA_Hover)) w->setAttribute(Qt::WA_Hover);
    if (stand_in->testAttribute(Qt::WA_StyledBackground) && TakesStyledBackground(w))
        w->setAttribute(Qt::WA_StyledBackground);
    if (w->autoFillBackground() && !stand_in->autoFillBackground()) w->setAutoFillBackground(false);
    if (w->testAttribute(Qt::WA_OpaquePaintEvent) && !stand_in->testAttribute(Qt::WA_OpaquePaintEvent))
        w->setAttribute(Qt::WA_OpaquePaintEvent, false);
    auto* area = qobject_cast<QAbstractScrollArea*>(w);
    auto* area_stand_in = qobject_cast<QAbstractScrollArea*>(stand_in);
    if (area && area_stand_in && area->viewport() && area_stand_in->viewport() &&
        area->viewport()->autoFillBackground() && !area_stand_in->viewport()->autoFillBackground()) {
        area->viewport()->setAutoFillBackground(false);
        area->viewport()->setAttribute(Qt::WA_StyledBackground);
    }
}

void ThemeStyle::giveBack(QWidget* w, Styled& styled) {
    if (styled.saved) {
        w->setFont(styled.font);
        w->setPalette(styled.palette);
    }
    for (int i = 0; i < 4; ++i)
        if (styled.limits[i]) SetLimit(w, i, nullptr);
}

void ThemeStyle::repolish(QWidget* w) {
    if (w->style() != this) return;
    unpolish(w);
    polish(w);
    w->updateGeometry();
    w->update();
}

void ThemeStyle::polish(QApplication* app) {
    QProxyStyle::polish(app);
    app->installEventFilter(this);
}

void ThemeStyle::unpolish(QApplication* app) {
    app->removeEventFilter(this);
    QProxyStyle::unpolish(app);
}

// A widget moved under another sheet looks again, and so does what it holds
// that was styled before (Qt sizes what a scroll area is given as it takes
// it, before the area has its place).
void ThemeStyle::moved(QWidget* w) {
    if (styled_.isEmpty() || w->style() != this) return;
    const auto check = [this](QWidget* widget) {
        const auto it = styled_.constFind(widget);
        if (it != styled_.cend() && it->scopes != scopesOf(widget)) repolish(widget);
    };
    check(w);
    for (QWidget* child : w->findChildren<QWidget*>()) check(child);
}

bool ThemeStyle::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ParentChange:
        if (watched->isWidgetType()) moved(static_cast<QWidget*>(watched));
        break;
    case QEvent::DynamicPropertyChange:
        if (styled_.contains(watched) &&
            attributes_.contains(static_cast<QDynamicPropertyChangeEvent*>(event)->propertyName()))
            repolish(static_cast<QWidget*>(watched));
        break;
    case QEvent::ReadOnlyChange:
        if (styled_.contains(watched)) repolish(static_cast<QWidget*>(watched));
        break;
    case QEvent::Show:
        // A part Qt polished while it was being made, now whole.
        if (pending_parts_.contains(watched)) polish(static_cast<QWidget*>(watched));
        break;
    default:
        break;
    }
    return QProxyStyle::eventFilter(watched, event);
}

void ThemeStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
    if (const QWidget* s = standIn(widget)) return s->style()->drawPrimitive(element, option, painter, s);
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void ThemeStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const {
    if (const QWidget* s = standIn(widget)) return s->style()->drawControl(element, option, painter, s);
    QProxyStyle::drawControl(element, option, painter, widget);
}

void ThemeStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                    const QWidget* widget) const {
    if (const QWidget* s = standIn(widget)) return s->style()->drawComplexControl(control, option, painter, s);
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

QSize ThemeStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                   const QWidget* widget) const {
    if (const QWidget* s = standIn(widget)) return s->style()->sizeFromContents(type, option, size, s);
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

QRect ThemeStyle::subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const {
    if (const QWidget* s = standIn(widget)) return s->style()->subElementRect(element, option, s);
    return QProxyStyle::subElementRect(element, option, widget);
}

QRect ThemeStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sc,
                                 const QWidget* widget) const {
    if (const QWidget* s = standIn(widget)) return s->style()->subControlRect(control, option, sc, s);
    return QProxyStyle::subControlRect(control, option, sc, widget);
}

QStyle::SubControl ThemeStyle::hitTestComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                                     const QPoint& pos, const QWidget* widget) const {
    if (const QWidget* s = standIn(widget)) return s->style()->hitTestComplexControl(control, option, pos, s);
    return QProxyStyle::hitTestComplexControl(control, option, pos, widget);
}

int ThemeStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                          QStyleHintReturn* returnData) const {
    if (const QWidget* s = standIn(widget)) return s->style()->styleHint(hint, option, s, returnData);
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

int ThemeStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
    // A window's margins are a window's: no stand-in is one.
    const bool window_margin = widget && widget->isWindow() && metric >= PM_LayoutLeftMargin &&
                               metric <= PM_LayoutBottomMargin;
    if (const QWidget* s = window_margin ? nullptr : standIn(widget)) return s->style()->pixelMetric(metric, option, s);
    return QProxyStyle::pixelMetric(metric, option, widget);
}

int ThemeStyle::layoutSpacing(QSizePolicy::ControlType control1, QSizePolicy::ControlType control2,
                              Qt::Orientation orientation, const QStyleOption* option, const QWidget* widget) const {
    if (const QWidget* s = standIn(widget))
        return s->style()->layoutSpacing(control1, control2, orientation, option, s);
    return QProxyStyle::layoutSpacing(control1, control2, orientation, option, widget);
}

QIcon ThemeStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const {
    if (const QWidget* s = standIn(widget)) return s->style()->standardIcon(icon, option, s);
    return QProxyStyle::standardIcon(icon, option, widget);
}

QPixmap ThemeStyle::standardPixmap(StandardPixmap pixmap, const QStyleOption* option, const QWidget* widget) const {
    if (const QWidget* s = standIn(widget)) return s->style()->standardPixmap(pixmap, option, s);
    return QProxyStyle::standardPixmap(pixmap, option, widget);
}

}  // namespace vantorel::ui
