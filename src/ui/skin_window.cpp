// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/skin_window.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTextEdit>
#include <QWindow>

#include "core/trace.h"
#include "ui/controls.h"
#include "ui/resources.h"
#include "ui/skin_loader.h"
#include "ui/widgets.h"
#include "ui/window_fit.h"

namespace vantorel::ui {

namespace {

bool is_option(const QAbstractButton* b) {
    if (qobject_cast<const QRadioButton*>(b)) return true;
    if (b->autoExclusive()) return true;
    return b->group() && b->group()->exclusive();
}

}  // namespace

SkinWindow::SkinWindow() : QWidget(nullptr) {
    post_token_ = PostTargets::add(this);
    auto service = std::make_unique<QtTimerService>();
    timers_ = std::move(service);
    timers_->on_fire = [this](int id) { OnTimer(id); };
    connect(&ResourceManager::instance(), &ResourceManager::languageChanged, this, [this] {
        ApplyResourceTexts(this);
        OnLanguageChanged();
    });
}

SkinWindow::~SkinWindow() {
    // From here on, posts from other threads and plugins are dropped.
    PostTargets::remove(post_token_);
    if (modal_loop_) modal_loop_->exit(modal_result_);
    // Controls going away may still signal; nothing may reach the handlers
    // of a window that is half destroyed.
    NotifyBlocker quiet;
    delete root_;
    root_ = nullptr;
    by_name_.clear();
    control_timers_.clear();
}

bool SkinWindow::Create(QWidget* owner, unsigned style, QSize size) {
    Qt::WindowFlags flags = Qt::FramelessWindowHint;
    flags |= (style & kStyleTool) ? Qt::Tool : (style & kStyleDialog) ? Qt::Dialog : Qt::Window;
    if (style & kStyleTopMost) flags |= Qt::WindowStaysOnTopHint;
    if (style & kStyleNoActivate) {
        flags |= Qt::WindowDoesNotAcceptFocus;
        setAttribute(Qt::WA_ShowWithoutActivating);
    }
    if (style & kStyleClickThrough) flags |= Qt::WindowTransparentForInput;
    setParent(owner, flags);
    setObjectName(GetWindowClassName());
    setProperty("windowClass", GetWindowClassName());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // A resizable window's skin is built inside its scroll area, so that no
    // control is restyled by a move there.
    QScrollArea* area = (style & kStyleResizable) ? NewContentArea(this) : nullptr;
    pending_includes_.clear();
    root_ = SkinLoader::load(GetSkinFile(), area ? area->viewport() : this, includes_later_ ? &pending_includes_ : nullptr);
    by_name_.clear();
    names_indexed_ = false;
    if (area) layout->addWidget(area);
    if (root_) {
        if (!area) layout->addWidget(root_);
        if (!size.isValid()) size = root_->size();
        const QString title = root_->windowTitle();
        if (!title.isEmpty()) setWindowTitle(title);
        WireControls(root_);
    } else {
        trace("window %s: skin %s not built\n", qPrintable(GetWindowClassName()), qPrintable(GetSkinFile()));
    }
    if (!size.isValid() || size.isEmpty()) size = QSize(400, 300);
    if (style & kStyleResizable) resize(size);
    else setFixedSize(size);
    created_ = true;
    InitWindow();
    // Handed to the scroll area once the window has set itself up: laying
    // it out there styles every control, and the window's own style sheets
    // are in place by now.
    if (area && root_) area->setWidget(root_);
    return root_ != nullptr;
}

void SkinWindow::CenterWindow() {
    QRect area;
    QWidget* owner = parentWidget();
    if (owner && owner->isVisible() && !owner->isMinimized()) {
        area = owner->frameGeometry();
    } else {
        QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
        if (!screen) return;
        area = screen->availableGeometry();
    }
    QRect r(QPoint(0, 0), size());
    r.moveCenter(area.center());
    move(r.topLeft());
}

void SkinWindow::ShowWindow(bool show, bool activate) {
    if (!show) {
        hide();
        return;
    }
    QWidget::show();
    if (activate) {
        raise();
        activateWindow();
    }
}

void SkinWindow::ShowAndRaise() {
    if (isMinimized()) showNormal();
    else show();
    raise();
    activateWindow();
}

int SkinWindow::ShowModal() {
    if (modal_loop_) return -1;  // already running
    setWindowModality(Qt::ApplicationModal);
    modal_result_ = 0;
    QPointer<SkinWindow> self(this);
    QEventLoop loop;
    modal_loop_ = &loop;
    ShowWindow(true, true);
    loop.exec(QEventLoop::DialogExec);
    if (!self) return 0;
    modal_loop_ = nullptr;
    return modal_result_;
}

void SkinWindow::Close(int result) {
    modal_result_ = result;
    hide();
    if (modal_loop_) modal_loop_->exit(result);
    OnFinalMessage();
    if (auto_delete_) deleteLater();
}

// In the order findChild searches: an object's children, then each child's
// own, so the first control of a name is the one findChild would give.
void SkinWindow::index_names(const QObject* parent) const {
    const QObjectList& children = parent->children();
    for (QObject* child : children) {
        if (!child->isWidgetType() || child->objectName().isEmpty()) continue;
        if (!by_name_.contains(child->objectName())) by_name_.insert(child->objectName(), static_cast<QWidget*>(child));
    }
    for (QObject* child : children) index_names(child);
}

QWidget* SkinWindow::FindControl(const QString& name) const {
    if (name.isEmpty()) return nullptr;
    if (root_) {
        if (root_->objectName() == name) return root_;
        if (!names_indexed_) {
            names_indexed_ = true;
            index_names(root_);
        }
        if (const auto it = by_name_.constFind(name); it != by_name_.cend()) {
            QWidget* w = it->data();
            if (w && w->objectName() == name && root_->isAncestorOf(w)) return w;
        }
        if (auto* w = root_->findChild<QWidget*>(name)) {
            by_name_.insert(name, w);
            return w;
        }
    }
    if (!missing_logged_.contains(name)) {
        missing_logged_.insert(name);
        trace("skin %s: no control \"%s\"\n", qPrintable(GetSkinFile()), qPrintable(name));
    }
    return nullptr;
}

QWidget* SkinWindow::FindControlIndexed(const char* pattern, int index) const {
    return FindControl(QString::asprintf(pattern, index));
}

void SkinWindow::log_wrong_kind(const QString& name) const {
    const QString key = name + QStringLiteral("#kind");
    if (missing_logged_.contains(key)) return;
    missing_logged_.insert(key);
    trace("skin %s: control \"%s\" is not of the kind the program expects\n", qPrintable(GetSkinFile()),
          qPrintable(name));
}

QWidget* SkinWindow::LoadSubSkin(const QString& skin_file, QWidget* container) {
    QWidget* parent = container ? container : root_;
    QWidget* sub = SkinLoader::load(skin_file, parent);
    if (!sub) return nullptr;
    if (parent && parent->layout()) parent->layout()->addWidget(sub);
    WireControls(sub);
    return sub;
}

void SkinWindow::LoadPendingIncludes() {
    std::vector<SkinLoader::Pending> pending;
    pending.swap(pending_includes_);
    for (const SkinLoader::Pending& p : pending) {
        if (!p.target) continue;
        QWidget* sub = SkinLoader::include(p.file, p.target);
        if (!sub) continue;
        // Made after its container may have been shown: shown with it.
        sub->show();
        WireControls(sub);
    }
    names_indexed_ = false;
}

void SkinWindow::WireControls(QWidget* root) {
    if (!root) return;
    wire_one(root);
    for (QWidget* w : root->findChildren<QWidget*>()) wire_one(w);
}

void SkinWindow::wire_one(QWidget* w) {
    if (DynamicProperty(w, "_vantorelWired").toBool()) return;
    w->setProperty("_vantorelWired", true);
    if (DynamicProperty(w, "caption").toBool()) w->installEventFilter(this);
    if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))) return;
    w->installEventFilter(this);

    using namespace notify;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        connect(b, &QAbstractButton::clicked, this, [this, b](bool checked) {
            raise_notify(b, kClick);
            if (!b->isCheckable()) return;
            if (is_option(b)) {
                if (checked) raise_notify(b, kSelectChanged);
            } else {
                raise_notify(b, kSelectChanged);
                raise_notify(b, kCheckClick, checked ? 1 : 0);
            }
        });
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        connect(combo, &QComboBox::currentIndexChanged, this, [this, combo](int index) {
            raise_notify(combo, kItemSelect, static_cast<std::uintptr_t>(index));
        });
    } else if (auto* list = qobject_cast<QListWidget*>(w)) {
        connect(list, &QListWidget::currentRowChanged, this, [this, list](int row) {
            raise_notify(list, kItemSelect, static_cast<std::uintptr_t>(row));
        });
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(w)) {
        if (!qobject_cast<QScrollBar*>(w)) {
            connect(slider, &QAbstractSlider::valueChanged, this, [this, slider](int value) {
                raise_notify(slider, kValueChanged, static_cast<std::uintptr_t>(value));
            });
        }
    } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
        connect(spin, &QSpinBox::valueChanged, this, [this, spin](int value) {
            raise_notify(spin, kValueChanged, static_cast<std::uintptr_t>(value));
        });
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        connect(edit, &QLineEdit::textEdited, this, [this, edit] { raise_notify(edit, kTextChanged); });
        connect(edit, &QLineEdit::returnPressed, this, [this, edit] { raise_notify(edit, kReturn); });
    } else if (auto* rich = qobject_cast<QTextEdit*>(w)) {
        connect(rich, &QTextEdit::textChanged, this, [this, rich] { raise_notify(rich, kTextChanged); });
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
        connect(plain, &QPlainTextEdit::textChanged, this, [this, plain] { raise_notify(plain, kTextChanged); });
    } else if (auto* palette = qobject_cast<ColorPalette*>(w)) {
        connect(palette, &ColorPalette::colorChanged, this, [this, palette](quint32 argb) {
            raise_notify(palette, kColorChanged, argb);
        });
        connect(palette, &ColorPalette::colorChangedButtonUp, this, [this, palette](quint32 argb) {
            raise_notify(palette, kColorChangedButtonUp, argb);
        });
    }
}

QString SkinWindow::VirtualWndOf(const QWidget* control) {
    for (const QWidget* w = control; w; w = w->parentWidget()) {
        const QString name = DynamicProperty(w, "virtualwnd").toString();
        if (!name.isEmpty()) return name;
        if (w->isWindow()) break;
    }
    return {};
}

void SkinWindow::raise_notify(QWidget* control, const QString& type, std::uintptr_t wparam, std::intptr_t lparam) {
    if (NotifyBlocker::active()) return;
    SendNotify(control, type, wparam, lparam);
}

void SkinWindow::SendNotify(QWidget* control, const QString& type, std::uintptr_t wparam, std::intptr_t lparam) {
    Notification msg;
    msg.type = type;
    msg.sender = control;
    msg.sender_name = control ? control->objectName() : QString();
    msg.virtual_wnd = VirtualWndOf(control);
    msg.wparam = wparam;
    msg.lparam = lparam;
    Notify(msg);
}

void SkinWindow::Notify(const Notification& msg) { DefaultNotify(msg); }

void SkinWindow::DefaultNotify(const Notification& msg) {
    if (!msg.virtual_wnd.isEmpty()) {
        if (NotifyPump* pump = virtual_wnds_.value(msg.virtual_wnd)) {
            pump->Notify(msg);
            return;
        }
    }
    if (msg.type == notify::kClick) OnClick(msg);
}

void SkinWindow::AddVirtualWnd(const QString& name, NotifyPump* pump) {
    if (name.isEmpty() || !pump) return;
    virtual_wnds_.insert(name, pump);
}

void SkinWindow::RemoveVirtualWnd(const QString& name) { virtual_wnds_.remove(name); }

void SkinWindow::SetTimer(int id, int milliseconds) { timers_->start(id, milliseconds); }
void SkinWindow::KillTimer(int id) { timers_->stop(id); }
bool SkinWindow::IsTimerActive(int id) const { return timers_->active(id); }

void SkinWindow::SetTimerService(std::unique_ptr<TimerService> service) {
    if (!service) return;
    timers_ = std::move(service);
    timers_->on_fire = [this](int id) { OnTimer(id); };
}

void SkinWindow::OnTimer(int) {}

void SkinWindow::SetControlTimer(QWidget* control, int id, int milliseconds) {
    if (!control) return;
    auto& timer = control_timers_[{control, id}];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        QPointer<QWidget> guard(control);
        connect(timer.get(), &QTimer::timeout, this, [this, guard, id] {
            if (guard) raise_notify(guard, notify::kTimer, static_cast<std::uintptr_t>(id));
            else KillControlTimer(nullptr, id);
        });
    }
    timer->start(milliseconds);
}

void SkinWindow::KillControlTimer(QWidget* control, int id) {
    auto it = control_timers_.find({control, id});
    if (it != control_timers_.end()) it->second->stop();
}

void SkinWindow::PostMessage(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) const {
    PostTargets::post(post_token_, message, wparam, lparam);
}

bool SkinWindow::SendMessage(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    bool handled = false;
    HandleCustomMessage(message, wparam, lparam, handled);
    return handled;
}

void SkinWindow::PostMenuCommand(const MenuCommand& command) {
    QCoreApplication::postEvent(this, new MenuCommandEvent(command));
}

void SkinWindow::HandleCustomMessage(std::uint32_t, std::uintptr_t, std::intptr_t, bool&) {}

bool SkinWindow::event(QEvent* e) {
    if (e->type() == WindowMessageEvent::eventType()) {
        auto* m = static_cast<WindowMessageEvent*>(e);
        bool handled = false;
        HandleCustomMessage(m->message(), m->wparam(), m->lparam(), handled);
        return true;
    }
    if (e->type() == MenuCommandEvent::eventType()) {
        OnMenuCommand(static_cast<MenuCommandEvent*>(e)->command());
        return true;
    }
    return QWidget::event(e);
}

bool SkinWindow::eventFilter(QObject* watched, QEvent* e) {
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w) return false;
    using namespace notify;
    switch (e->type()) {
    case QEvent::Enter:
        if (!w->objectName().isEmpty()) raise_notify(w, kMouseEnter);
        break;
    case QEvent::Leave:
        if (!w->objectName().isEmpty()) raise_notify(w, kMouseLeave);
        break;
    case QEvent::FocusIn:
        raise_notify(w, kSetFocus);
        break;
    case QEvent::FocusOut:
        // A combo's own popup taking the focus is not the user leaving it.
        if (static_cast<QFocusEvent*>(e)->reason() != Qt::PopupFocusReason) raise_notify(w, kKillFocus);
        break;
    case QEvent::MouseButtonPress:
        if (DynamicProperty(w, "caption").toBool()) {
            auto* me = static_cast<QMouseEvent*>(e);
            if (me->button() == Qt::LeftButton) {
                // Let the desktop move the window where it can (Wayland needs
                // this); otherwise follow the mouse ourselves.
                if (!(windowHandle() && windowHandle()->startSystemMove())) {
                    dragging_ = true;
                    drag_offset_ = me->globalPosition().toPoint() - frameGeometry().topLeft();
                }
                return true;
            }
        }
        break;
    case QEvent::MouseMove:
        if (dragging_) {
            move(static_cast<QMouseEvent*>(e)->globalPosition().toPoint() - drag_offset_);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (dragging_) {
            dragging_ = false;
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

void SkinWindow::closeEvent(QCloseEvent* e) {
    // Closed by the desktop (window menu, Alt+F4): the same as cancelling.
    e->ignore();
    Close(0);
}

void SkinWindow::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape && modal_loop_) {
        Close(0);
        return;
    }
    QWidget::keyPressEvent(e);
}

int RunModalDialog(SkinWindow& dialog, QWidget* owner) {
    if (!dialog.IsCreated()) dialog.Create(owner, kStyleDialog | kStyleTool);
    dialog.CenterWindow();
    return dialog.ShowModal();
}

}  // namespace vantorel::ui
