// SPDX-License-Identifier: GPL-2.0-or-later
// Keeps the wheel from changing settings while the user scrolls a column:
// over a slider, combo box, spin box or list without keyboard focus, the
// wheel scrolls the column instead; a control with focus takes it as usual.
#pragma once

#include <QObject>

class QAbstractScrollArea;

namespace vantorel::ui {

class WheelGuard final : public QObject {
public:
    // Guards every such control inside `column`'s widget; the guard belongs
    // to the column.
    static WheelGuard* Install(QAbstractScrollArea* column);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit WheelGuard(QAbstractScrollArea* column);
    void guard(QWidget* control);

    QAbstractScrollArea* column_;
};

}  // namespace vantorel::ui
