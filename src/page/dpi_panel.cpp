// SPDX-License-Identifier: GPL-2.0-or-later
#include "page/dpi_panel.h"

#include <QAbstractSlider>
#include <QKeyEvent>
#include <QLineEdit>

#include <memory>

#include "edit/settings_catalogue.h"
#include "page/dpi_pending.h"
#include "page/page_logic.h"
#include "page/setting_ranges.h"
#include "ui/controls.h"
#include "ui/edit_revert.h"
#include "ui/event_hook.h"
#include "ui/resources.h"

namespace vantorel::page {

namespace {

// What the DPI reset gives the eight stages.
constexpr std::array<std::int32_t, 8> kResetDpiValues = {16, 32, 48, 64, 100, 320, 0, 0};
constexpr std::array<std::int32_t, 8> kResetStageEnabled = {1, 1, 1, 1, 1, 1, 0, 0};
constexpr std::array<Color, 8> kResetDpiColors = {{
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 0, 255}, {255, 255, 0}, {0, 255, 255}, {255, 64, 0}, {255, 255, 255},
}};

// The edit of a stage that is off holds its stage number here (0 while the
// stage is on), so that its key handler needs nothing of the page.
constexpr const char* kOffStage = "offStage";

// Why a typed DPI or a stage switch was refused, in the user's language.
QString Reason(const edit::ValueCheck& c) {
    auto tr = [](const char* key) { return ui::Tr(QLatin1String(key)); };
    switch (c.verdict) {
        case edit::Verdict::Taken: return {};
        case edit::Verdict::NotANumber: return tr("dpi_not_number_text").arg(c.low).arg(c.high);
        case edit::Verdict::OutOfRange: return tr("dpi_out_of_range_text").arg(c.typed).arg(c.low).arg(c.high);
        case edit::Verdict::OffStep: return tr("dpi_off_step_text").arg(c.typed).arg(c.low).arg(c.high);
        case edit::Verdict::StageOff: return tr("dpi_stage_is_off_text").arg(c.stage);
        case edit::Verdict::ActiveStageStaysOn: return tr("dpi_active_stays_on_text").arg(c.stage);
        case edit::Verdict::LastStageStaysOn: return tr("dpi_last_stays_on_text");
    }
    return {};
}

// Keys typed into the edit of a stage that is off do nothing: the status
// line of its window says why.
bool OnOffStageKey(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    auto* line = qobject_cast<QLineEdit*>(watched);
    const int stage = line ? line->property(kOffStage).toInt() : 0;
    if (stage < 1) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool typing = (!key->text().isEmpty() && key->text().at(0).isPrint()) || key->key() == Qt::Key_Backspace ||
                        key->key() == Qt::Key_Delete;
    if (!typing) return false;
    edit::ValueCheck off;
    off.verdict = edit::Verdict::StageOff;
    off.stage = stage;
    QWidget* window = line->window();
    ui::SetText(window->findChild<QWidget*>(QStringLiteral("ms_1_label_status")), Reason(off));
    ui::SetVisible(window->findChild<QWidget*>(QStringLiteral("ms_1_status_bar")), true);
    return true;
}

int IndexOf(const QWidget* sender, const std::array<QWidget*, DpiPanel::kStageCount>& row) {
    if (!sender) return -1;
    for (std::size_t k = 0; k < row.size(); ++k)
        if (row[k] == sender) return static_cast<int>(k);
    return -1;
}

}  // namespace

DpiPanel::DpiPanel(PageContext& page) : page_(page) {}

void DpiPanel::init() {
    for (int n = 1; n <= kStageCount; ++n) {
        const auto k = static_cast<std::size_t>(n - 1);
        auto find = [&](const char* pattern) { return page_.control(QString::fromLatin1(pattern).arg(n)); };
        sliders_[k] = find("ms_1_slider_dpi_%1");
        labels_[k] = find("ms_1_label_dpi_%1");
        options_[k] = find("ms_1_option_dpi_step_%1");
        checks_[k] = find("ms_1_check_dpi_enabled_%1");
        colors_[k] = find("ms_1_btn_dpi_color_%1");
        edits_[k] = find("ms_1_edit_dpi_%1");
    }
    apply_ = page_.control(QStringLiteral("ms_1_btn_apply_dpi"));
    reset_ = page_.control(QStringLiteral("ms_1_btn_reset_dpi"));

    page::TakeSliderRanges([this](const QString& name) { return page_.control(name); });
    for (int k = 0; k < kStageCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        // Screen readers tell the eight rows apart by their stage.
        const QString name = ui::Tr(QStringLiteral("dpi_stage_value_name_text")).arg(k + 1);
        for (QWidget* w : {sliders_[i], edits_[i]})
            if (w) w->setAccessibleName(name);
        if (auto* edit = qobject_cast<QLineEdit*>(edits_[i])) {
            ui::EditRevert::Install(edit);
            auto* hook = new ui::EventHook(&OnOffStageKey);
            hook->setParent(edit);
            hook->watch(edit);
        }
        // A dragged value reaches the library when the drag ends.
        if (auto* slider = qobject_cast<QAbstractSlider*>(sliders_[i]))
            QObject::connect(slider, &QAbstractSlider::sliderReleased, slider, [this] {
                if (page_.has_current_profile()) page_.save_library_now();
            });
    }
}

void DpiPanel::show(const ProfileRecord& r) {
    // A damaged record may hold any value: the nearest choice is shown, and
    // the record stays as it is until the user changes the control.
    ui::SetCheck(options_[static_cast<std::size_t>(page::NearestChoice(r.dpi_stage_index(), kStageCount))], true);
    for (int k = 0; k < kStageCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        ui::SetValue(sliders_[i], r.dpi_value(k));
        const QString dpi = page::DpiText(r.dpi_value(k));
        ui::SetText(labels_[i], dpi);
        ui::SetText(edits_[i], dpi);
        ui::SetBkColor(colors_[i], page::ArgbOf(r.dpi_color(k)));
    }
    show_states(r);
}

void DpiPanel::values_sent() { page::EndDpiWaiting(apply_); }

bool DpiPanel::on_click(const QWidget* sender) {
    if (sender == apply_) {
        page_.request_apply(ApplyWhen::Now);
        return true;
    }
    if (sender == reset_) {
        reset();
        return true;
    }
    if (const int k = IndexOf(sender, colors_); k >= 0) {
        choose_color(k + 1);
        return true;
    }
    return false;
}

bool DpiPanel::on_select(const QWidget* sender) {
    const int k = IndexOf(sender, options_);
    if (k < 0) return false;
    page_.edit_profile([k](ProfileRecord& r) { r.set_dpi_stage_index(k); });
    if (page_.has_current_profile()) show_states(page_.current_profile());
    page_.request_apply(ApplyWhen::Now);
    return true;
}

bool DpiPanel::on_check(const QWidget* sender) {
    const int k = IndexOf(sender, checks_);
    if (k < 0) return false;
    set_enabled(k, ui::GetCheck(sender));
    return true;
}

bool DpiPanel::on_value(const QWidget* sender, int value) {
    const int k = IndexOf(sender, sliders_);
    if (k < 0) return false;
    on_slider(k + 1, value);
    return true;
}

bool DpiPanel::on_edit_commit(const QWidget* sender) {
    const int k = IndexOf(sender, edits_);
    if (k < 0) return false;
    commit_edit(k + 1);
    return true;
}

bool DpiPanel::on_text_changed(QWidget* sender) {
    if (IndexOf(sender, edits_) < 0) return false;
    const QString text = ui::GetText(sender);
    const QString digits = page::DigitsOnly(text);
    if (digits == text) return true;
    ui::SetText(sender, digits);
    ui::SetSel(sender, static_cast<int>(digits.size()), static_cast<int>(digits.size()));
    return true;
}

void DpiPanel::show_waiting() { page::ShowDpiWaiting(apply_, page_.control(QStringLiteral("ms_1_label_apply_result"))); }

void DpiPanel::on_slider(int stage, int code) {
    if (!page_.has_current_profile()) return;
    page_.edit_profile([stage, code](ProfileRecord& r) { r.set_dpi_value(stage - 1, code); });
    const QString dpi = page::DpiText(code);
    const auto k = static_cast<std::size_t>(stage - 1);
    ui::SetText(labels_[k], dpi);
    ui::SetText(edits_[k], dpi);
    // The library keeps it now, or when the drag ends.
    const auto* slider = qobject_cast<const QAbstractSlider*>(sliders_[k]);
    if (!slider || !slider->isSliderDown()) page_.save_library_now();
    show_waiting();
}

void DpiPanel::show_states(const ProfileRecord& r) {
    for (int k = 0; k < kStageCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const bool on = r.dpi_stage_enabled(k) == 1;
        const bool active = page::NearestChoice(r.dpi_stage_index(), kStageCount) == k;
        ui::SetCheck(checks_[i], on);
        for (QWidget* w : {sliders_[i], colors_[i], labels_[i]}) ui::SetEnabled(w, on);
        // The edit of a stage that is off stays reachable to say why it
        // takes nothing; the theme greys it.
        if (auto* edit = qobject_cast<QLineEdit*>(edits_[i])) {
            edit->setReadOnly(!on);
            edit->setProperty(kOffStage, on ? 0 : k + 1);
        }
        ui::SetEnabled(options_[i], on || active);
        ui::SetText(labels_[i], on ? page::DpiText(r.dpi_value(k)) : ui::Tr(QStringLiteral("dpi_stage_off_text")));
    }
}

void DpiPanel::set_enabled(int k, bool on) {
    if (!page_.has_current_profile()) return;
    // The active stage stays in use: the box goes back and the status line
    // says why.
    if (const edit::ValueCheck c = edit::check_stage_switch(page_.current_profile(), k, on); !c) {
        ui::SetCheck(checks_[static_cast<std::size_t>(k)], true);
        page_.say(Reason(c));
        return;
    }
    // A stage that never had a value starts at 800 DPI.
    page_.edit_profile([k, on](ProfileRecord& r) { edit::switch_stage(r, k, on); });
    const auto record = std::make_unique<ProfileRecord>(page_.current_profile());
    const auto i = static_cast<std::size_t>(k);
    ui::SetValue(sliders_[i], record->dpi_value(k));
    ui::SetText(edits_[i], page::DpiText(record->dpi_value(k)));
    show_states(*record);
    page_.request_apply(ApplyWhen::Now);
}

void DpiPanel::commit_edit(int stage) {
    if (!page_.has_current_profile()) return;
    const auto k = static_cast<std::size_t>(stage - 1);
    // A stage that is off takes no typing (its key handler says why).
    if (!edit::check_stage_value(page_.current_profile(), stage - 1)) return;
    const edit::ValueCheck check = edit::check_dpi_text(ui::GetText(edits_[k]).toStdString());
    if (!check) {
        // Refused with its reason; the edit shows the stored value again.
        ui::SetText(edits_[k], page::DpiText(page_.current_profile().dpi_value(stage - 1)));
        page_.say(Reason(check));
        return;
    }
    const int code = check.stored;
    const bool changed = page_.current_profile().dpi_value(stage - 1) != code;
    page_.edit_profile([stage, code](ProfileRecord& r) { r.set_dpi_value(stage - 1, code); });
    // Kept in the library at once; sent with the apply buttons.
    if (changed) {
        page_.save_library_now();
        show_waiting();
    }
    ui::SetValue(sliders_[k], code);
    // The caption follows the accepted value.
    ui::SetText(labels_[k], page::DpiText(code));
    ui::SetText(edits_[k], page::DpiText(code));
}

void DpiPanel::reset() {
    if (!page_.has_current_profile()) return;
    // It replaces all eight stages, so it asks first as Restore defaults does.
    if (page_.ask(QStringLiteral("reset_stages_question_text"), true) != 1) return;
    page_.edit_profile([](ProfileRecord& r) {
        r.set_dpi_stage_index(1);
        for (int k = 0; k < kStageCount; ++k) {
            const auto i = static_cast<std::size_t>(k);
            r.set_dpi_value(k, kResetDpiValues[i]);
            r.set_dpi_value_y(k, kResetDpiValues[i]);
            r.set_dpi_stage_enabled(k, kResetStageEnabled[i]);
            r.set_dpi_color(k, kResetDpiColors[i]);
        }
    });
    page_.refresh();
    page_.request_apply(ApplyWhen::Now);
}

void DpiPanel::choose_color(int stage) {
    if (!page_.has_current_profile()) return;
    const auto k = static_cast<std::size_t>(stage - 1);
    const auto chosen = page_.choose_color(page::ArgbOf(page_.current_profile().dpi_color(stage - 1)), colors_[k]);
    if (!chosen) return;
    const Color c = page::ColorOfArgb(*chosen);
    page_.edit_profile([stage, c](ProfileRecord& r) { r.set_dpi_color(stage - 1, c); });
    ui::SetBkColor(colors_[k], page::ArgbOf(c));
    page_.request_apply(ApplyWhen::Now);
}

}  // namespace vantorel::page
