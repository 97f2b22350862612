// SPDX-License-Identifier: GPL-2.0-or-later
// A plain window with a chosen Wayland app_id and title, for the focus tests
// under a compositor: focus_test_window APP_ID TITLE
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>

namespace {

class Window : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(QRect(QPoint(), size()), Qt::darkCyan); }
};

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) return 2;
    // Qt's Wayland platform sends the desktop file name as the app_id.
    QGuiApplication::setDesktopFileName(QString::fromLocal8Bit(argv[1]));
    Window window;
    window.setTitle(QString::fromLocal8Bit(argv[2]));
    window.resize(160, 100);
    window.show();
    return app.exec();
}
