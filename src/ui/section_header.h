// SPDX-License-Identifier: GPL-2.0-or-later
// Makes a check box that heads a collapsible section answer on its whole
// row: a press anywhere in it toggles the section (not only on the
// indicator and label), the pointer shows a hand, and Enter toggles it as
// Space does.
#pragma once

#include <QObject>

class QAbstractButton;

namespace vantorel::ui {

class SectionHeader final : public QObject {
public:
    // The behaviour belongs to the header.
    static void Install(QAbstractButton* header);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit SectionHeader(QAbstractButton* header);
    QAbstractButton* header_;
};

}  // namespace vantorel::ui
