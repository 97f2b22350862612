// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/tray_watcher.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QPointer>

#include <algorithm>
#include <cstdlib>
#include <vector>

#ifdef VANTOREL_HAVE_XCB
#include <xcb/xcb.h>
#endif

#include "core/trace.h"

namespace vantorel::ui {

namespace {
std::vector<QPointer<TrayWatcher>>& running() {
    static std::vector<QPointer<TrayWatcher>> watchers;
    return watchers;
}
}  // namespace

// Listens on Qt's own X connection for the message a system tray sends to
// the root window of its screen when it starts (freedesktop System Tray
// protocol): a ClientMessage of type MANAGER whose second word is the
// selection it took.
class TrayWatcher::X11Announcements final : public QAbstractNativeEventFilter {
public:
    explicit X11Announcements(std::function<void()> announced) : announced_(std::move(announced)) {
#ifdef VANTOREL_HAVE_XCB
        auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!x11 || !x11->connection()) return;
        xcb_connection_t* c = x11->connection();
        xcb_intern_atom_cookie_t manager = xcb_intern_atom(c, 0, 7, "MANAGER");
        std::vector<xcb_window_t> roots;
        std::vector<xcb_intern_atom_cookie_t> selections;
        int screen = 0;
        for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it), ++screen) {
            roots.push_back(it.data->root);
            const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
            selections.push_back(xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.constData()));
        }
        manager_ = take_atom(c, manager);
        for (auto cookie : selections) trays_.push_back(take_atom(c, cookie));
        // The announcement goes to the clients that watch the root window's
        // structure; Qt does, but the mask is ours to make sure of (added to
        // what this connection selects, never replacing it).
        for (xcb_window_t root : roots) {
            xcb_get_window_attributes_reply_t* a = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, root), nullptr);
            if (!a) continue;
            const std::uint32_t mask = a->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            std::free(a);
            xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
        }
        xcb_flush(c);
        qApp->installNativeEventFilter(this);
        installed_ = true;
#endif
    }
    ~X11Announcements() override {
        if (installed_ && qApp) qApp->removeNativeEventFilter(this);
    }
    X11Announcements(const X11Announcements&) = delete;
    X11Announcements& operator=(const X11Announcements&) = delete;

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
#ifdef VANTOREL_HAVE_XCB
        if (type != "xcb_generic_event_t" || !manager_) return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) return false;
        const auto* cm = reinterpret_cast<const xcb_client_message_event_t*>(event);
        if (cm->type == manager_ && cm->format == 32 &&
            std::find(trays_.begin(), trays_.end(), cm->data.data32[1]) != trays_.end())
            announced_();
#else
        (void)type;
        (void)message;
#endif
        return false;  // Qt's own tray tracking needs it too
    }

private:
#ifdef VANTOREL_HAVE_XCB
    static xcb_atom_t take_atom(xcb_connection_t* c, xcb_intern_atom_cookie_t cookie) {
        xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, cookie, nullptr);
        const xcb_atom_t atom = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        std::free(r);
        return atom;
    }
    xcb_atom_t manager_ = XCB_ATOM_NONE;
    std::vector<xcb_atom_t> trays_;
#endif
    std::function<void()> announced_;
    bool installed_ = false;
};

TrayWatcher::TrayWatcher(std::function<bool()> available, const QDBusConnection& bus, QObject* parent)
    : QObject(parent), available_(std::move(available)) {
    if (bus.isConnected()) {
        names_ = new QDBusServiceWatcher(QString::fromLatin1(kStatusNotifierWatcher), bus,
                                         QDBusServiceWatcher::WatchForRegistration, this);
        connect(names_, &QDBusServiceWatcher::serviceRegistered, this, [this] {
            trace("tray: a StatusNotifierWatcher appeared on the session bus\n");
            check();
        });
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // Asked once the event is handled: the icon is not made from inside
        // Qt's event dispatch.
        x11_ = std::make_unique<X11Announcements>([this] {
            trace("tray: an X11 tray announced itself\n");
            QMetaObject::invokeMethod(this, &TrayWatcher::check, Qt::QueuedConnection);
        });
    }
    running().emplace_back(this);
}

TrayWatcher::~TrayWatcher() {
    auto& all = running();
    all.erase(std::remove_if(all.begin(), all.end(), [this](const QPointer<TrayWatcher>& w) { return !w || w == this; }),
              all.end());
}

void TrayWatcher::AskAll() {
    const auto all = running();  // a watch may end (and go) on its answer
    for (const QPointer<TrayWatcher>& w : all)
        if (w) w->check();
}

void TrayWatcher::check() {
    if (done_ || !available_()) return;
    done_ = true;
    x11_.reset();
    if (names_) names_->setWatchedServices({});
    emit appeared();
}

}  // namespace vantorel::ui
