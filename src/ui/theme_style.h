// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QFont>
#include <QHash>
#include <QPalette>
#include <QPointer>
#include <QProxyStyle>
#include <QSet>

namespace vantorel::ui {

// The dark theme, for every window. Its look is written as a style sheet
// (theme.qss, and a sheet of their own for parts of a skin), but Qt matches
// an application's sheet against every widget, through every ancestor, and
// keeps the result per widget: most of a window's start and a good part of
// its memory. This style asks the sheet once per kind of widget instead: a
// widget is drawn, sized and measured as the sheet draws a hidden stand-in
// of the same class, skin class, name and state, and takes the stand-in's
// font, colours and size limits. The stand-ins of the parts Qt makes itself
// (a scroll area's viewport and bars, a combo box's list) are the same parts
// of a stand-in of their owner, so that the sheet sees them where they are.
class ThemeStyle : public QProxyStyle {
    Q_OBJECT
public:
    // Over base, which it takes.
    ThemeStyle(QString sheet, QStyle* base);
    ~ThemeStyle() override;

    // The theme drawing w, if any (no sheet of its own above it).
    static ThemeStyle* of(const QWidget* w);
    const QString& sheet() const { return sheet_; }
    // The theme and the sheets over w, as one sheet.
    QString sheetFor(const QWidget* w) const;

    // A sheet for w and what it holds, on top of the theme, as
    // QWidget::setStyleSheet would set it.
    void setScopeSheet(QWidget* w, const QString& sheet);
    // Declarations for w alone (its colour, its picture), as
    // QWidget::setStyleSheet would set them.
    void setOwnRules(QWidget* w, const QString& declarations);

    // The stand-in drawn for w (tests), or null.
    const QWidget* standInOf(const QWidget* w) const;

    void polish(QWidget* w) override;
    void unpolish(QWidget* w) override;
    void polish(QApplication* app) override;
    void unpolish(QApplication* app) override;
    using QProxyStyle::polish;
    using QProxyStyle::unpolish;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    QRect subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sc,
                         const QWidget* widget) const override;
    SubControl hitTestComplexControl(ComplexControl control, const QStyleOptionComplex* option, const QPoint& pos,
                                     const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    int layoutSpacing(QSizePolicy::ControlType control1, QSizePolicy::ControlType control2,
                      Qt::Orientation orientation, const QStyleOption* option = nullptr,
                      const QWidget* widget = nullptr) const override;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
    QPixmap standardPixmap(StandardPixmap pixmap, const QStyleOption* option = nullptr,
                           const QWidget* widget = nullptr) const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void forget(QObject* o);

private:
    // The sheets over a widget, the outermost first, by number.
    using Scopes = QList<int>;

    // What a widget was before the theme changed it.
    struct Styled {
        QPointer<QWidget> stand_in;
        Scopes scopes;
        QPalette palette;
        QFont font;
        bool saved = false;
        // Size limits the sheet gave: min width, min height, max width, max height.
        bool limits[4] = {false, false, false, false};
    };

    const QWidget* standIn(const QWidget* w) const;
    void polishParts(QWidget* w);
    QWidget* flatStandIn(QWidget* w, const Scopes& scopes, const QString& key);
    Scopes scopesOf(const QWidget* w) const;
    QWidget* partStandIn(QWidget* w);
    QWidget* host(const Scopes& scopes);
    QString keyOf(const QWidget* w, const Scopes& scopes) const;
    quint8 limitMarks(const QWidget* stand_in);
    void takeOver(QWidget* w, QWidget* stand_in, Styled& styled);
    void giveBack(QWidget* w, Styled& styled);
    void repolish(QWidget* w);
    void release(QWidget* stand_in);
    void moved(QWidget* w);
    void learn(const QString& sheet);

    QString sheet_;
    QSet<QString> ids_;
    QList<QByteArray> attributes_;
    QWidget* root_ = nullptr;
    QHash<QString, QWidget*> hosts_;
    QHash<QString, QWidget*> stand_ins_;
    QHash<const QObject*, Styled> styled_;
    QHash<const QObject*, int> scope_sheets_;
    QHash<QString, int> scope_ids_;
    QStringList scope_texts_;
    QHash<const QObject*, QString> own_rules_;
    QSet<const QObject*> pending_parts_;
    // Stand-ins with rules of their own: how many widgets they draw, and their keys.
    QHash<QWidget*, int> own_uses_;
    QHash<QWidget*, QString> own_keys_;
    // Per stand-in, the size limits the sheet set on it (limitMarks).
    QHash<const QObject*, quint8> limit_marks_;
    // Per class, which of attributes_ it declares as properties.
    mutable QHash<const QMetaObject*, QList<bool>> declared_;
};

}  // namespace vantorel::ui
