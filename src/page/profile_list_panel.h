// SPDX-License-Identifier: GPL-2.0-or-later
// The mouse page's profile list: switching, add, rename, duplicate, delete,
// reset, import (the button, or a .pro file dropped on the window) and
// export, and the row of the profiles that follow the application under it.
// Every change of the list is saved at once, so nothing depends on a mouse
// being connected to reach the file.
#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "page/page_context.h"

class QEvent;
class QObject;
class QWidget;

namespace vantorel {

namespace ui {
class MenuWnd;
}

// What the page tells of its profile list, for the profiles that follow the
// focused application. Every call on the UI thread.
class ProfileListListener {
public:
    virtual ~ProfileListListener() = default;
    // The user chose a profile (the list, the tray, a command's reload).
    virtual void profile_chosen(const std::u16string& name) { (void)name; }
    virtual void profile_renamed(const std::u16string& old_name, const std::u16string& new_name) {
        (void)old_name;
        (void)new_name;
    }
    virtual void profile_removed(const std::u16string& name) { (void)name; }
    // The libraries were read: at start, and again after a command changed
    // the files.
    virtual void library_reloaded() {}
    // The first of the page's dialogs opened, or the last one closed.
    virtual void dialogs_changed(bool open) { (void)open; }
};

namespace page {

class ProfileListPanel {
public:
    explicit ProfileListPanel(PageContext& page);
    ~ProfileListPanel();
    ProfileListPanel(const ProfileListPanel&) = delete;
    ProfileListPanel& operator=(const ProfileListPanel&) = delete;

    void init();
    QWidget* list() const { return list_; }
    void set_listener(ProfileListListener* listener) { listener_ = listener; }
    ProfileListListener* listener() const { return listener_; }

    // The list shows the library's profiles and its selection.
    void fill();
    QStringList names() const;
    int selected() const;
    // As a click in the list would: the profile becomes current, all of it
    // goes to the mouse.
    void select(int index);
    // The profile named (letter case aside) becomes current and only what
    // differs is sent. False when there is none, it is current already, or
    // a dialog is open.
    bool switch_automatically(const std::u16string& name);
    std::u16string current_name() const;
    bool import_file(const QString& path);

    void show_auto_switch(bool offered, bool on, const QString& status);
    void set_auto_switch_handler(std::function<void(bool on)> toggled) { auto_toggled_ = std::move(toggled); }

    bool on_click(const QWidget* sender);
    bool on_item_select(const QWidget* sender);
    bool on_check(const QWidget* sender);
    // Double-click and context menu on the list, .pro files dropped.
    bool on_input(QObject* watched, QEvent* event);
    bool on_menu_command(const QString& name);
    void close_menu();

private:
    void switch_to(int index);
    void select_item(int index);  // with the switch, as a click would
    std::optional<QString> ask_name(const QString& title_key, const ProfileRecord* renaming = nullptr);
    void add();
    void rename();
    void duplicate();
    void remove();
    void reset();
    void import();
    void export_current();
    void show_menu(QPoint at);
    // Where a record is now; call with the store's mutex held.
    std::optional<std::size_t> index_of_record(const ProfileRecord* record) const;

    PageContext& page_;
    QWidget* list_ = nullptr;
    QWidget* add_ = nullptr;
    QWidget* delete_ = nullptr;
    QWidget* rename_ = nullptr;
    QWidget* import_ = nullptr;
    QWidget* export_ = nullptr;
    QWidget* reset_ = nullptr;
    QWidget* restore_ = nullptr;  // the settings column's own reset
    QWidget* auto_check_ = nullptr;
    QWidget* auto_label_ = nullptr;
    std::unique_ptr<ui::MenuWnd> menu_;
    ProfileListListener* listener_ = nullptr;
    std::function<void(bool)> auto_toggled_;
    // The list's first item-select notification after construction is not
    // a switch (see fill).
    int ignore_select_ = 1;
    bool automatic_ = false;  // switch_to runs for a switch of the followed application
};

}  // namespace page
}  // namespace vantorel
