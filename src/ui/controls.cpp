// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/controls.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>

#include "ui/resources.h"
#include "ui/theme_style.h"
#include "ui/widgets.h"

namespace vantorel::ui {

namespace {
thread_local int g_blocked = 0;
constexpr const char* kTextKey = "textKey";
constexpr const char* kToolTipKey = "toolTipKey";
constexpr const char* kPlaceholderKey = "placeholderKey";
constexpr const char* kAccessibleNameKey = "accessibleNameKey";
constexpr const char* kNotReady = "notReady";
constexpr const char* kItemKeys = "itemKeys";
constexpr const char* kBkColor = "bkColor";

void set_raw_text(QWidget* c, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(c)) label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(c)) button->setText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(c)) edit->setText(text);
    else if (auto* rich = qobject_cast<QTextEdit*>(c)) rich->setPlainText(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(c)) plain->setPlainText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(c)) group->setTitle(text);
    else if (auto* combo = qobject_cast<QComboBox*>(c)) combo->setCurrentText(text);
    else if (c->isWindow()) c->setWindowTitle(text);
    else c->setProperty("text", text);
}

void apply_keys(QWidget* w) {
    if (w->dynamicPropertyNames().isEmpty()) return;
    const ResourceManager& rm = ResourceManager::instance();
    const QString text_key = DynamicProperty(w, kTextKey).toString();
    if (!text_key.isEmpty()) set_raw_text(w, rm.text(text_key));
    const QString tip_key = DynamicProperty(w, kToolTipKey).toString();
    if (!tip_key.isEmpty()) {
        QString tip = rm.text(tip_key);
        if (DynamicProperty(w, kNotReady).toBool()) tip = rm.text(QStringLiteral("not_ready_tip_text")).arg(tip);
        w->setToolTip(tip);
    }
    const QString name_key = DynamicProperty(w, kAccessibleNameKey).toString();
    if (!name_key.isEmpty()) w->setAccessibleName(rm.text(name_key));
    // Screen readers name a control by its text, else by its tooltip.
    else if (!text_key.isEmpty()) w->setAccessibleName(rm.text(text_key));
    else if (!tip_key.isEmpty()) w->setAccessibleName(rm.text(tip_key));
    const QString placeholder_key = DynamicProperty(w, kPlaceholderKey).toString();
    if (!placeholder_key.isEmpty()) {
        if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setPlaceholderText(rm.text(placeholder_key));
    }
    const QString item_keys = DynamicProperty(w, kItemKeys).toString();
    if (!item_keys.isEmpty()) {
        if (auto* combo = qobject_cast<QComboBox*>(w)) {
            const QStringList keys = item_keys.split(QLatin1Char(';'), Qt::SkipEmptyParts);
            NotifyBlocker quiet;
            const int current = combo->currentIndex();
            for (int i = 0; i < keys.size(); ++i) {
                const QString text = rm.text(keys[i].trimmed());
                if (i < combo->count()) combo->setItemText(i, text);
                else combo->addItem(text);
            }
            if (current >= 0 && current < combo->count()) combo->setCurrentIndex(current);
        }
    }
}

}  // namespace

NotifyBlocker::NotifyBlocker() { ++g_blocked; }
NotifyBlocker::~NotifyBlocker() { --g_blocked; }
bool NotifyBlocker::active() { return g_blocked > 0; }

void SetText(QWidget* control, const QString& text) {
    if (!control) return;
    control->setProperty(kTextKey, QVariant());
    NotifyBlocker quiet;
    set_raw_text(control, text);
}

QString GetText(const QWidget* c) {
    if (!c) return {};
    if (auto* label = qobject_cast<const QLabel*>(c)) return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(c)) return button->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(c)) return edit->text();
    if (auto* rich = qobject_cast<const QTextEdit*>(c)) return rich->toPlainText();
    if (auto* plain = qobject_cast<const QPlainTextEdit*>(c)) return plain->toPlainText();
    if (auto* group = qobject_cast<const QGroupBox*>(c)) return group->title();
    if (auto* combo = qobject_cast<const QComboBox*>(c)) return combo->currentText();
    if (c->isWindow()) return c->windowTitle();
    return c->property("text").toString();
}

void SetResourceText(QWidget* control, const QString& key) {
    if (!control) return;
    control->setProperty(kTextKey, key);
    NotifyBlocker quiet;
    set_raw_text(control, ResourceManager::instance().text(key));
}

QString ResourceKey(const QWidget* control) {
    return control ? DynamicProperty(control, kTextKey).toString() : QString();
}

void SetToolTipKey(QWidget* control, const QString& key) {
    if (!control) return;
    control->setProperty(kToolTipKey, key);
    control->setToolTip(ResourceManager::instance().text(key));
}

QVariant DynamicProperty(const QObject* object, const char* name) {
    const QList<QByteArray> names = object->dynamicPropertyNames();
    for (const QByteArray& n : names) {
        if (n == name) return object->property(name);
    }
    return {};
}

void ApplyResourceTexts(QWidget* root) {
    if (!root) return;
    apply_keys(root);
    const auto children = root->findChildren<QWidget*>();
    for (QWidget* w : children) apply_keys(w);
}

void MarkNotReady(QWidget* control) {
    if (!control) return;
    control->setEnabled(false);
    control->setProperty(kNotReady, true);
    apply_keys(control);
}

void SetVisible(QWidget* control, bool visible) {
    if (control) control->setVisible(visible);
}

bool IsVisible(const QWidget* control) { return control && !control->isHidden(); }

void SetEnabled(QWidget* control, bool enabled) {
    if (control) control->setEnabled(enabled);
}

void SetValue(QWidget* c, int value) {
    if (!c) return;
    NotifyBlocker quiet;
    if (auto* slider = qobject_cast<QAbstractSlider*>(c)) slider->setValue(value);
    else if (auto* progress = qobject_cast<QProgressBar*>(c)) progress->setValue(value);
    else if (auto* spin = qobject_cast<QSpinBox*>(c)) spin->setValue(value);
}

int GetValue(const QWidget* c) {
    if (auto* slider = qobject_cast<const QAbstractSlider*>(c)) return slider->value();
    if (auto* progress = qobject_cast<const QProgressBar*>(c)) return progress->value();
    if (auto* spin = qobject_cast<const QSpinBox*>(c)) return spin->value();
    return 0;
}

void SetRange(QWidget* c, int minimum, int maximum) {
    if (!c) return;
    NotifyBlocker quiet;
    if (auto* slider = qobject_cast<QAbstractSlider*>(c)) slider->setRange(minimum, maximum);
    else if (auto* progress = qobject_cast<QProgressBar*>(c)) progress->setRange(minimum, maximum);
    else if (auto* spin = qobject_cast<QSpinBox*>(c)) spin->setRange(minimum, maximum);
}

void SetCheck(QWidget* c, bool checked) {
    auto* button = qobject_cast<QAbstractButton*>(c);
    if (!button) return;
    NotifyBlocker quiet;
    if (!button->isCheckable()) button->setCheckable(true);
    QButtonGroup* group = button->group();
    if (!checked && group && group->exclusive()) {
        // An exclusive option cannot be cleared on its own; lift the rule
        // for the moment so that no option of the group stays selected.
        group->setExclusive(false);
        button->setChecked(false);
        group->setExclusive(true);
    } else if (!checked && button->autoExclusive()) {
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
    } else {
        button->setChecked(checked);
    }
}

bool GetCheck(const QWidget* c) {
    auto* button = qobject_cast<const QAbstractButton*>(c);
    return button && button->isChecked();
}

void SelectItem(QWidget* c, int index) {
    if (!c) return;
    NotifyBlocker quiet;
    if (auto* combo = qobject_cast<QComboBox*>(c)) {
        combo->setCurrentIndex(index < combo->count() ? index : -1);
    } else if (auto* list = qobject_cast<QListWidget*>(c)) {
        list->setCurrentRow(index < list->count() ? index : -1);
    } else if (auto* view = qobject_cast<QAbstractItemView*>(c)) {
        if (view->model()) view->setCurrentIndex(view->model()->index(index, 0));
    } else if (auto* stack = qobject_cast<QStackedWidget*>(c)) {
        if (index >= 0 && index < stack->count()) stack->setCurrentIndex(index);
    } else if (auto* tabs = qobject_cast<QTabWidget*>(c)) {
        if (index >= 0 && index < tabs->count()) tabs->setCurrentIndex(index);
    }
}

int GetCurSel(const QWidget* c) {
    if (auto* combo = qobject_cast<const QComboBox*>(c)) return combo->currentIndex();
    if (auto* list = qobject_cast<const QListWidget*>(c)) return list->currentRow();
    if (auto* view = qobject_cast<const QAbstractItemView*>(c)) return view->currentIndex().row();
    if (auto* stack = qobject_cast<const QStackedWidget*>(c)) return stack->currentIndex();
    if (auto* tabs = qobject_cast<const QTabWidget*>(c)) return tabs->currentIndex();
    return -1;
}

int GetCount(const QWidget* c) {
    if (auto* combo = qobject_cast<const QComboBox*>(c)) return combo->count();
    if (auto* list = qobject_cast<const QListWidget*>(c)) return list->count();
    if (auto* stack = qobject_cast<const QStackedWidget*>(c)) return stack->count();
    if (auto* tabs = qobject_cast<const QTabWidget*>(c)) return tabs->count();
    return 0;
}

// Style rules of a control's own, through the theme where it draws the control.
static void SetOwnRules(QWidget* control, const QString& rules) {
    if (ThemeStyle* theme = ThemeStyle::of(control)) theme->setOwnRules(control, rules);
    else control->setStyleSheet(rules);
}

void SetBkColor(QWidget* control, quint32 argb) {
    if (!control) return;
    control->setProperty(kBkColor, argb);
    SetOwnRules(control, (argb >> 24) == 0 ? QString()
                                           : QStringLiteral("background-color: %1;")
                                                 .arg(QColor::fromRgba(argb).name(QColor::HexArgb)));
}

quint32 GetBkColor(const QWidget* control) {
    return control ? control->property(kBkColor).toUInt() : 0;
}

void SetBkImage(QWidget* control, const QString& resource_path) {
    if (!control) return;
    if (auto* image = qobject_cast<SvgImage*>(control)) {
        image->setSource(resource_path);
        return;
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setPixmap(QPixmap(ResourceManager::instance().path(resource_path)));
        return;
    }
    SetOwnRules(control, QStringLiteral("border-image: url(\"%1\");").arg(ResourceManager::instance().path(resource_path)));
}

void ScrollToEnd(QWidget* control) {
    for (QWidget* w = control; w; w = w->parentWidget()) {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
            if (QScrollBar* bar = area->verticalScrollBar()) bar->setValue(bar->maximum());
            return;
        }
    }
}

void EnsureVisible(QWidget* c, int index) {
    if (auto* list = qobject_cast<QListWidget*>(c)) {
        if (QListWidgetItem* item = list->item(index)) list->scrollToItem(item);
    } else if (auto* view = qobject_cast<QAbstractItemView*>(c)) {
        if (view->model()) view->scrollTo(view->model()->index(index, 0));
    }
}

void SetSel(QWidget* c, int start, int end) {
    if (auto* edit = qobject_cast<QLineEdit*>(c)) {
        const int length = static_cast<int>(edit->text().size());
        if (end < 0 || end > length) end = length;
        start = std::clamp(start, 0, end);
        if (start == end) edit->setCursorPosition(end);
        else edit->setSelection(start, end - start);
    }
}

}  // namespace vantorel::ui
