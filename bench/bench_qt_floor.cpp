// SPDX-License-Identifier: GPL-2.0-or-later
// The floor for start-up and memory: the least a Qt 6 Widgets program does
// to show a window with one label.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("QV Vantorel"));
    label.show();
    return QApplication::exec();
}
