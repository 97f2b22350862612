// SPDX-License-Identifier: GPL-2.0-or-later
// The floor for start-up and memory: the least a Qt 6 Widgets program does
// to show a window with one label.
//
// With --page: the least it does to show a window of the mouse page's size
// holding as many controls of each kind as the page does, in Qt's own style
// and font, with no skin, style sheet, pictures or device behind them. What
// the program costs beyond this is ours; what this costs beyond the one
// label is what any page of that size costs in Qt Widgets.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QVBoxLayout>
#include <cstring>

namespace {

// The mouse page's controls by kind, and its window's size.
constexpr int kLabels = 61;
constexpr int kButtons = 65;
constexpr int kCheckBoxes = 22;
constexpr int kSliders = 13;
constexpr int kLineEdits = 8;
constexpr int kProgressBars = 3;
constexpr int kComboBoxes = 2;
constexpr int kWidth = 800;
constexpr int kHeight = 572;

// Five controls to a container, as many containers as the page has.
template <typename Make>
void add_controls(QGridLayout* grid, QHBoxLayout*& row, int& count, int n, Make make) {
    for (int i = 0; i < n; ++i, ++count) {
        if (count % 5 == 0) {
            auto* box = new QWidget;
            row = new QHBoxLayout(box);
            row->setContentsMargins(0, 0, 0, 0);
            grid->addWidget(box, count / 5 / 2, count / 5 % 2);
        }
        row->addWidget(make(i));
    }
}

QWidget* page_window() {
    auto* window = new QWidget;
    auto* outer = new QVBoxLayout(window);
    auto* list = new QListWidget;
    list->addItem(QStringLiteral("Profile 1"));
    list->setMaximumHeight(80);
    outer->addWidget(list);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    auto* content = new QWidget;
    auto* grid = new QGridLayout(content);
    QHBoxLayout* row = nullptr;
    int count = 0;
    add_controls(grid, row, count, kLabels, [](int i) { return new QLabel(QStringLiteral("Caption %1").arg(i)); });
    add_controls(grid, row, count, kButtons, [](int i) { return new QPushButton(QStringLiteral("Button %1").arg(i)); });
    add_controls(grid, row, count, kCheckBoxes, [](int i) { return new QCheckBox(QStringLiteral("Option %1").arg(i)); });
    add_controls(grid, row, count, kSliders, [](int) { return new QSlider(Qt::Horizontal); });
    add_controls(grid, row, count, kLineEdits, [](int i) { return new QLineEdit(QString::number(800 * (i + 1))); });
    add_controls(grid, row, count, kProgressBars, [](int) {
        auto* bar = new QProgressBar;
        bar->setValue(76);
        return bar;
    });
    add_controls(grid, row, count, kComboBoxes, [](int) {
        auto* combo = new QComboBox;
        combo->addItems({QStringLiteral("1000 Hz"), QStringLiteral("500 Hz")});
        return combo;
    });
    scroll->setWidget(content);
    outer->addWidget(scroll);
    window->resize(kWidth, kHeight);
    return window;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool page = argc > 1 && std::strcmp(argv[1], "--page") == 0;
    if (page) {
        QWidget* window = page_window();
        window->show();
        const int status = QApplication::exec();
        delete window;
        return status;
    }
    QLabel label(QStringLiteral("QV Vantorel"));
    label.show();
    return QApplication::exec();
}
