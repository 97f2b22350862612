// SPDX-License-Identifier: GPL-2.0-or-later
// A stand-in for another application on the test's Wayland desktop.
//   wayland_stand_in window      maps a plain window (app_id
//                                "vantorel-stand-in") and keeps it until ended
//   wayland_stand_in token ID    prints a token the compositor issued for ID
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>

#include <cstdio>
#include <cstring>

#include "app/activation_token.h"

namespace {
class PlainWindow : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(QRect(QPoint(), size()), Qt::darkCyan); }
};
}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "token") == 0) {
        const std::string token = vantorel::RequestActivationToken(argv[2]);
        if (token.empty()) return 1;
        std::printf("%s\n", token.c_str());
        return 0;
    }
    if (argc != 2 || std::strcmp(argv[1], "window") != 0) {
        std::fprintf(stderr, "usage: wayland_stand_in window | token APP-ID\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("vantorel-stand-in"));
    PlainWindow window;
    window.resize(200, 150);
    window.show();
    return QGuiApplication::exec();
}
