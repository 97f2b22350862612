// SPDX-License-Identifier: GPL-2.0-or-later
// The three questions the key tables ask of the user's keyboard layout.
//
// Virtual keys are Windows virtual-key values, the form in which the input
// hook reports keys. Scan codes are PC/AT set-1 make codes without the 0xE0
// prefix; for the main block and F1..F12 they equal the Linux evdev key codes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace vantorel {

class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;
    // The scan code of the key that carries `virtual_key`, 0 when no key does
    // (what MapVirtualKey answers for map type 0).
    virtual std::uint32_t scan_code_of(std::uint32_t virtual_key) const = 0;
    // The virtual key at `scan_code`, left and right modifiers told apart;
    // 0 when the position is unknown (map type 3).
    virtual std::uint32_t virtual_key_at(std::uint32_t scan_code) const = 0;
    // The characters the key of `virtual_key` types with no modifier held and
    // no lock active; empty when it types none. A dead key gives its spacing
    // form ("^" for a circumflex key).
    virtual std::u16string characters(std::uint32_t virtual_key) const = 0;
};

// The standard US keyboard, as Windows lays it out: fixed answers that need
// no system service. Used when the session's layout cannot be read and by
// the tools.
class UsKeyboardLayout final : public KeyboardLayout {
public:
    std::uint32_t scan_code_of(std::uint32_t virtual_key) const override;
    std::uint32_t virtual_key_at(std::uint32_t scan_code) const override;
    std::u16string characters(std::uint32_t virtual_key) const override;
};

// A layout made on its first question, from any thread: compiling the
// session's keymap costs start-up time that only a key name or a recording
// needs. A maker that gives nothing stands for the US layout.
class LazyKeyboardLayout final : public KeyboardLayout {
public:
    using Maker = std::function<std::unique_ptr<KeyboardLayout>()>;
    explicit LazyKeyboardLayout(Maker make) : make_(std::move(make)) {}

    std::uint32_t scan_code_of(std::uint32_t virtual_key) const override { return get().scan_code_of(virtual_key); }
    std::uint32_t virtual_key_at(std::uint32_t scan_code) const override { return get().virtual_key_at(scan_code); }
    std::u16string characters(std::uint32_t virtual_key) const override { return get().characters(virtual_key); }

private:
    const KeyboardLayout& get() const {
        std::call_once(once_, [this] {
            if (make_) layout_ = make_();
            if (!layout_) layout_ = std::make_unique<UsKeyboardLayout>();
            make_ = nullptr;
        });
        return *layout_;
    }

    mutable Maker make_;
    mutable std::once_flag once_;
    mutable std::unique_ptr<KeyboardLayout> layout_;
};

}  // namespace vantorel
