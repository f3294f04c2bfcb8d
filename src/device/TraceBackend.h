// A backend decorator that shows every report written to or read from the mouse:
// "W 0C 01 07 …" for a feature report written, "R …" for a feature report or
// input report read, one line each.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "device/HidBackend.h"

namespace tarvik {

// direction is 'W' or 'R'. Called from the device worker and the reader threads.
using TraceSink = std::function<void(char direction, std::span<const std::uint8_t> bytes)>;

// Lines on stderr, serialised across threads.
TraceSink StderrTrace();

std::unique_ptr<hid::Backend> WithTrace(std::unique_ptr<hid::Backend> inner, TraceSink sink);

} // namespace tarvik
