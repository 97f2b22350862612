// SPDX-License-Identifier: GPL-2.0-or-later
// The mouse page's DPI stages (sliders, edits, on/off, reset) and the
// colours of the stages and the light.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QKeyEvent>
#include <QLineEdit>

#include <array>

#include "core/trace.h"
#include "edit/settings_catalogue.h"
#include "page/dpi_color_wnd.h"
#include "page/dpi_pending.h"
#include "page/ms_1_page.h"
#include "page/page_logic.h"
#include "page/setting_ranges.h"
#include "ui/controls.h"
#include "ui/event_hook.h"
#include "ui/resources.h"

namespace vantorel {

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

// The status line of the window the control is in.
void Say(QWidget* bar, QWidget* label, const QString& text) {
    ui::SetText(label, text);
    ui::SetVisible(bar, true);
}

// Keys typed into the edit of a stage that is off do nothing: say why.
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
    Say(window->findChild<QWidget*>(QStringLiteral("ms_1_status_bar")),
        window->findChild<QWidget*>(QStringLiteral("ms_1_label_status")), Reason(off));
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// DPI stages

void CMS_1_Page::on_dpi_slider(int stage, int code) {
    if (!has_current_profile()) return;
    edit_profile([stage, code](ProfileRecord& r) { r.set_dpi_value(stage - 1, code); });
    const QString dpi = page::DpiText(code);
    const auto k = static_cast<std::size_t>(stage - 1);
    ui::SetText(m_pLabelDpi[k], dpi);
    ui::SetText(m_pEditDpi[k], dpi);
    // The stage waits for an apply button: dragging through many values
    // should not write each of them into the mouse. The library keeps it
    // now, or when the drag ends.
    const auto* slider = qobject_cast<const QAbstractSlider*>(m_pSliderDpi[k]);
    if (!slider || !slider->isSliderDown()) save_library_now();
    page::ShowDpiWaiting(m_pBtnApplyDpi, find(QStringLiteral("ms_1_label_apply_result")));
}

void CMS_1_Page::name_stage_controls() {
    page::TakeSliderRanges([this](const QString& name) { return find(name); });
    // Screen readers tell the eight rows apart by their stage.
    for (int k = 0; k < kStageCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const QString name = ui::Tr(QStringLiteral("dpi_stage_value_name_text")).arg(k + 1);
        for (QWidget* w : {m_pSliderDpi[i], m_pEditDpi[i]})
            if (w) w->setAccessibleName(name);
        if (m_pEditDpi[i]) {
            auto* hook = new ui::EventHook(&OnOffStageKey);
            hook->setParent(m_pEditDpi[i]);
            hook->watch(m_pEditDpi[i]);
        }
    }
    // The light sliders say their value in their tooltip.
    const std::pair<QWidget*, const char*> valued[] = {{m_pSliderBrightness, "brightness_text"},
                                                       {m_pSliderBreathSpeed, "breath_speed_text"}};
    for (const auto& [widget, key] : valued) {
        auto* slider = qobject_cast<QAbstractSlider*>(widget);
        if (!slider) continue;
        const QString label = ui::Tr(QLatin1String(key));
        auto tip = [slider, label](int value) {
            slider->setToolTip(ui::Tr(QStringLiteral("slider_value_tip_text")).arg(label).arg(value));
        };
        tip(slider->value());
        QObject::connect(slider, &QAbstractSlider::valueChanged, slider, tip);
    }
}

void CMS_1_Page::show_stage_states(const ProfileRecord& r) {
    for (int k = 0; k < kStageCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const bool on = r.dpi_stage_enabled(k) == 1;
        const bool active = page::NearestChoice(r.dpi_stage_index(), kStageCount) == k;
        ui::SetCheck(m_pCheckDpiEnabled[i], on);
        for (QWidget* w : {m_pSliderDpi[i], m_pBtnDpiColor[i], m_pLabelDpi[i]}) ui::SetEnabled(w, on);
        // The edit of a stage that is off stays reachable to say why it
        // takes nothing; the theme greys it.
        if (auto* edit = qobject_cast<QLineEdit*>(m_pEditDpi[i])) {
            edit->setReadOnly(!on);
            edit->setProperty(kOffStage, on ? 0 : k + 1);
        }
        ui::SetEnabled(m_pOptionDpiStep[i], on || active);
        ui::SetText(m_pLabelDpi[i], on ? page::DpiText(r.dpi_value(k)) : ui::Tr(QStringLiteral("dpi_stage_off_text")));
    }
}

void CMS_1_Page::set_stage_enabled(int k, bool on) {
    if (!has_current_profile()) return;
    // The active stage stays in use: the box goes back and the status line
    // says why.
    if (const edit::ValueCheck c = edit::check_stage_switch(current_profile(), k, on); !c) {
        ui::SetCheck(m_pCheckDpiEnabled[static_cast<std::size_t>(k)], true);
        m_bShowingNotTaken = false;
        Say(m_pStatusBar, m_pLabelStatus, Reason(c));
        return;
    }
    // A stage that never had a value starts at 800 DPI.
    edit_profile([k, on](ProfileRecord& r) { edit::switch_stage(r, k, on); });
    const auto record = std::make_unique<ProfileRecord>(current_profile());
    const auto i = static_cast<std::size_t>(k);
    ui::SetValue(m_pSliderDpi[i], record->dpi_value(k));
    ui::SetText(m_pEditDpi[i], page::DpiText(record->dpi_value(k)));
    show_stage_states(*record);
    RequestApply();
}

void CMS_1_Page::commit_dpi_edit(int stage) {
    if (!has_current_profile()) return;
    const auto k = static_cast<std::size_t>(stage - 1);
    // A stage that is off takes no typing (its key handler says why).
    if (!edit::check_stage_value(current_profile(), stage - 1)) return;
    const edit::ValueCheck check = edit::check_dpi_text(ui::GetText(m_pEditDpi[k]).toStdString());
    if (!check) {
        // Refused with its reason; the edit shows the stored value again.
        const std::int32_t stored = current_profile().dpi_value(stage - 1);
        ui::SetText(m_pEditDpi[k], page::DpiText(stored));
        m_bShowingNotTaken = false;
        Say(m_pStatusBar, m_pLabelStatus, Reason(check));
        return;
    }
    const int code = check.stored;
    const bool changed = current_profile().dpi_value(stage - 1) != code;
    edit_profile([stage, code](ProfileRecord& r) { r.set_dpi_value(stage - 1, code); });
    // Kept in the library at once; sent with the apply buttons.
    if (changed) {
        save_library_now();
        page::ShowDpiWaiting(m_pBtnApplyDpi, find(QStringLiteral("ms_1_label_apply_result")));
    }
    ui::SetValue(m_pSliderDpi[k], code);
    // The caption follows the accepted value.
    ui::SetText(m_pLabelDpi[k], page::DpiText(code));
    ui::SetText(m_pEditDpi[k], page::DpiText(code));
}

void CMS_1_Page::filter_dpi_edit(QWidget* edit) {
    const QString text = ui::GetText(edit);
    const QString digits = page::DigitsOnly(text);
    if (digits == text) return;
    ui::SetText(edit, digits);
    ui::SetSel(edit, static_cast<int>(digits.size()), static_cast<int>(digits.size()));
}

void CMS_1_Page::reset_dpi() {
    if (!has_current_profile()) return;
    // It replaces all eight stages, so it asks first as Restore defaults does.
    if (ask(QStringLiteral("reset_stages_question_text"), true) != 1) return;
    edit_profile([](ProfileRecord& r) {
        r.set_dpi_stage_index(1);
        for (int k = 0; k < kStageCount; ++k) {
            const auto i = static_cast<std::size_t>(k);
            r.set_dpi_value(k, kResetDpiValues[i]);
            r.set_dpi_value_y(k, kResetDpiValues[i]);
            r.set_dpi_stage_enabled(k, kResetStageEnabled[i]);
            r.set_dpi_color(k, kResetDpiColors[i]);
        }
    });
    Refresh();
    RequestApply();
}

// ---------------------------------------------------------------------------
// Colours

std::optional<quint32> CMS_1_Page::run_color_dialog(quint32 argb, QWidget* button) {
    QWidget* window = host_.window;
    QPoint position;
    if (window && button) {
        // Below the button, reaching 200 pixels to its left.
        const QPoint top_left = button->mapTo(window, QPoint(0, 0));
        const QRect w = window->geometry();
        position = QPoint(w.left() + top_left.x() - 200, w.top() + top_left.y() + button->height());
    }
    if (!may_open_dialog()) return std::nullopt;
    const DialogScope open(*this);
    if (m_Setup.choose_color) return m_Setup.choose_color(argb, position);
    return CDpiColorWnd::Choose(window, argb, position);
}

bool CMS_1_Page::may_open_dialog() {
    if (!library_held()) return true;
    trace("page: a command holds the library; no dialog now\n");
    m_bShowingNotTaken = false;
    ui::SetText(m_pLabelStatus, ui::Tr(QStringLiteral("library_busy_text")));
    ui::SetVisible(m_pStatusBar, true);
    return false;
}

void CMS_1_Page::choose_dpi_color(int stage) {
    if (!has_current_profile()) return;
    const auto k = static_cast<std::size_t>(stage - 1);
    const std::optional<quint32> chosen = run_color_dialog(page::ArgbOf(current_profile().dpi_color(stage - 1)), m_pBtnDpiColor[k]);
    if (!chosen) return;
    const Color c = page::ColorOfArgb(*chosen);
    edit_profile([stage, c](ProfileRecord& r) { r.set_dpi_color(stage - 1, c); });
    ui::SetBkColor(m_pBtnDpiColor[k], page::ArgbOf(c));
    RequestApply();
}

void CMS_1_Page::choose_light_color() {
    if (!has_current_profile()) return;
    const std::optional<quint32> chosen = run_color_dialog(page::ArgbOf(current_profile().light_color()), m_pBtnLightColor);
    if (!chosen) return;
    const Color c = page::ColorOfArgb(*chosen);
    edit_profile([c](ProfileRecord& r) { r.set_light_color(c); });
    ui::SetBkColor(m_pBtnLightColor, page::ArgbOf(c));
    RequestApply();
}

}  // namespace vantorel
