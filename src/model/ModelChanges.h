// Change notification of the settings model: whoever changes the profile table
// or the settings table says what changed, and listeners (the window) repaint
// only that. Plain C++; listeners run synchronously on the UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace tarvik {

// What changed, as bits; several may be set at once.
enum class ModelChange : std::uint32_t {
    None = 0,
    Dpi = 1u << 0,         // DPI levels, their enabled mask, the current level, their colours
    Polling = 1u << 1,     // polling rate
    Lighting = 1u << 2,    // lighting effect, speed, brightness, colours, direction
    Buttons = 1u << 3,     // the six buttons' functions and macros
    Settings = 1u << 4,    // the profile's ordered settings (lift-off, power-down, wake-up, ...)
    ProfileName = 1u << 5, // a profile's name
    Sensor = 1u << 6,      // the sensor model and its DPI tables
    CurrentSlot = 1u << 7, // which profile is current
    ShowList = 1u << 8,    // which slots are shown, and in which order
    Profile = 0x3Fu,       // everything of one profile
    All = 0x1FFu,
};

constexpr ModelChange operator|(ModelChange a, ModelChange b) {
    return static_cast<ModelChange>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}
constexpr ModelChange operator&(ModelChange a, ModelChange b) {
    return static_cast<ModelChange>(static_cast<std::uint32_t>(a) & static_cast<std::uint32_t>(b));
}
constexpr bool Any(ModelChange c) {
    return c != ModelChange::None;
}

// The slot a change concerns; kAllSlots for changes of no single profile.
inline constexpr int kAllSlots = -1;

using ModelListener = std::function<void(int slot, ModelChange what)>;

// A small list of listeners. Adding returns a token for removal; a listener may
// remove itself (or others) while it is being called.
class ModelListeners {
public:
    int Add(ModelListener listener) {
        listeners_.emplace_back(++lastToken_, std::move(listener));
        return lastToken_;
    }
    void Remove(int token) {
        for (auto& [t, l] : listeners_)
            if (t == token) l = nullptr;
    }
    void Notify(int slot, ModelChange what) const {
        // Index loop: a listener may add listeners while it runs.
        for (std::size_t i = 0; i < listeners_.size(); ++i) {
            const ModelListener l = listeners_[i].second;
            if (l) l(slot, what);
        }
    }

private:
    std::vector<std::pair<int, ModelListener>> listeners_;
    int lastToken_ = 0;
};

} // namespace tarvik
