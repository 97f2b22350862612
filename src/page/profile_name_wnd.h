// SPDX-License-Identifier: GPL-2.0-or-later
// CMS_1_ProfileName: asks for the name of a new or renamed profile. A rename
// opens with the profile's name, selected. OK refuses an empty name and one
// another profile has in any letter case, with a message, and stays open; OK
// on the unchanged name ends the dialog as Cancel does.
#pragma once

#include <QString>

#include <functional>

#include "library/profile_library.h"
#include "ui/skin_window.h"

namespace vantorel {

class CMS_1_ProfileName : public ui::SkinWindow {
    Q_OBJECT
public:
    static constexpr int kMaxLength = 99;
    // Shows a warning (a language key) over the dialog.
    using Warn = std::function<void(QWidget* owner, const QString& message_key)>;

    // `renaming`: the profile being renamed (one of `profiles`), or null for a
    // new one.
    CMS_1_ProfileName(const ProfileLibrary& profiles, QString title_key, Warn warn,
                      const ProfileRecord* renaming = nullptr)
        : profiles_(profiles), title_key_(std::move(title_key)), warn_(std::move(warn)), renaming_(renaming) {}
    QString GetWindowClassName() const override { return QStringLiteral("MS_1_ProfileName"); }
    QString GetSkinFile() const override { return QStringLiteral("MS/MS_1/profilename.xml"); }

    // Set after a close with 1.
    const QString& ResultName() const { return result_; }

protected:
    void InitWindow() override;
    void Notify(const ui::Notification& msg) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void validate();

    const ProfileLibrary& profiles_;
    QString title_key_;
    Warn warn_;
    const ProfileRecord* renaming_;
    QString result_;
    QWidget* title_ = nullptr;
    QWidget* edit_ = nullptr;
    QWidget* btn_ok_ = nullptr;
};

}  // namespace vantorel
