// SPDX-License-Identifier: GPL-2.0-or-later
// Operations on skin controls, whatever Qt widget a skin chose for them.
// Every function accepts a null control and then does nothing, so a control
// missing from a skin costs its feature and nothing else.
//
// Setting a value, a check state or a selection from code raises no
// notification; only the user's own actions notify.
#pragma once

#include <QString>
#include <QWidget>

namespace vantorel::ui {

// While one of these lives, no control of this thread notifies anything.
class NotifyBlocker {
public:
    NotifyBlocker();
    ~NotifyBlocker();
    NotifyBlocker(const NotifyBlocker&) = delete;
    NotifyBlocker& operator=(const NotifyBlocker&) = delete;
    static bool active();
};

// Text. SetText shows literal text and leaves resource-text mode;
// SetResourceText shows the language text of a key and keeps showing it
// (also after the language is reloaded) until SetText is called.
void SetText(QWidget* control, const QString& text);
QString GetText(const QWidget* control);
void SetResourceText(QWidget* control, const QString& key);
QString ResourceKey(const QWidget* control);  // empty outside resource-text mode
void SetToolTipKey(QWidget* control, const QString& key);
// Re-reads the texts of every control in resource-text mode below root.
void ApplyResourceTexts(QWidget* root);
// A dynamic property (a skin's stdset="0" one, or one set by name): looked
// for among the object's own names first, so that the many objects without
// it are not searched through all their class's properties.
QVariant DynamicProperty(const QObject* object, const char* name);

// A control whose feature is still to come: disabled, its tooltip saying
// what it will do once it works.
void MarkNotReady(QWidget* control);
void SetVisible(QWidget* control, bool visible);
bool IsVisible(const QWidget* control);  // the control's own flag, not its parents'
void SetEnabled(QWidget* control, bool enabled);

// Sliders, progress bars, spin boxes.
void SetValue(QWidget* control, int value);
int GetValue(const QWidget* control);
void SetRange(QWidget* control, int minimum, int maximum);

// Check boxes and options.
void SetCheck(QWidget* control, bool checked);
bool GetCheck(const QWidget* control);

// Combos, lists, tab layouts (stacked widgets), tab widgets. -1 clears.
void SelectItem(QWidget* control, int index);
int GetCurSel(const QWidget* control);
int GetCount(const QWidget* control);

// 0xAARRGGBB; alpha 0 clears the colour back to the theme's.
void SetBkColor(QWidget* control, quint32 argb);
quint32 GetBkColor(const QWidget* control);
void SetBkImage(QWidget* control, const QString& resource_path);

// Scrolls a scroll area (or the one holding the control) to its end.
void ScrollToEnd(QWidget* control);
void EnsureVisible(QWidget* list, int index);
// Edit selection; end -1 means the end of the text.
void SetSel(QWidget* edit, int start, int end);

}  // namespace vantorel::ui
