// SPDX-License-Identifier: GPL-2.0-or-later
// Escape in a line edit brings back the text it held before the edit began
// (when it took focus, or when its last entry was accepted).
#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

namespace vantorel::ui {

class EditRevert final : public QObject {
public:
    // The behaviour belongs to the edit.
    static void Install(QLineEdit* edit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit EditRevert(QLineEdit* edit);
    QLineEdit* edit_;
    QString before_;
};

}  // namespace vantorel::ui
