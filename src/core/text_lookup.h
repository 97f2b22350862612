// SPDX-License-Identifier: GPL-2.0-or-later
// The language texts the program shows ("add_profile_text", "key_F1", ...)
// come through this interface. The desktop side backs it with the language
// file; tests and the command line use the built-in English table.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace vantorel {

class TextLookup {
public:
    virtual ~TextLookup() = default;
    // The text for a key, or the key itself when it is unknown.
    virtual std::u16string text(std::string_view key) const = 0;
};

// A table of texts; unknown keys come back as the key.
class MapTextLookup : public TextLookup {
public:
    MapTextLookup() = default;
    explicit MapTextLookup(std::map<std::string, std::u16string, std::less<>> texts) : texts_(std::move(texts)) {}
    void set(std::string key, std::u16string value) { texts_[std::move(key)] = std::move(value); }
    std::u16string text(std::string_view key) const override {
        auto it = texts_.find(key);
        if (it != texts_.end()) return it->second;
        return std::u16string(key.begin(), key.end());
    }

private:
    std::map<std::string, std::u16string, std::less<>> texts_;
};

}  // namespace vantorel
