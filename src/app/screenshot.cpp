#include "app/screenshot.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>

#include <cstdio>

#include "app/dpi_msg.h"
#include "app/main_wnd.h"
#include "app/msg_wnd.h"

namespace vantorel {

namespace {

void settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

QPixmap grab_window(QWidget& w) {
    settle();
    return w.grab();
}

}  // namespace

int RenderScreenshot(const QString& file, const QString& window) {
    const bool mouse = window != QLatin1String("main");
    CMainWnd main;
    main.SetHookSearchDirs({});
    main.SetDemo(mouse);
    if (mouse) main.SetLinkPresence(std::make_shared<DemoLinkPresence>());
    main.CreateMain();
    main.ShowWindow(true, false);
    QPixmap shot = grab_window(main);

    if (window == QLatin1String("msg")) {
        CMsgWnd box(QStringLiteral("warning_title_text"), QStringLiteral("restore_text"));
        box.Create(&main, ui::kStyleDialog | ui::kStyleTool);
        box.ShowWindow(true, false);
        const QPixmap dialog = grab_window(box);
        QPainter p(&shot);
        p.fillRect(QRect(QPoint(0, 0), main.size()), QColor(0, 0, 0, 110));
        const QSize ds = dialog.deviceIndependentSize().toSize();
        p.drawPixmap(QPoint((main.width() - ds.width()) / 2, (main.height() - ds.height()) / 2), dialog);
    } else if (window == QLatin1String("dpi")) {
        auto* popup = new CDPIMsg(DpiPopupText(32));
        popup->CreatePopup(&main);
        const QPixmap osd = grab_window(*popup);
        QPainter p(&shot);
        // Where it would sit if the main window filled the work area.
        p.drawPixmap(DpiPopupGeometry(QRect(QPoint(0, 0), main.size())).topLeft(), osd);
        popup->Close(0);
    }

    const bool ok = shot.save(file, "PNG");
    if (!ok) std::fprintf(stderr, "qv-vantorel: cannot write %s\n", qPrintable(file));
    main.DestroyWindow();
    return ok ? 0 : 1;
}

}  // namespace vantorel
