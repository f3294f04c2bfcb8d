// The readable listing of a profile that `tarvikctl show` prints: name, DPI
// levels, polling rate, lighting, buttons and the power and sensor options, in
// the words and units the window uses.
#pragma once

#include <ostream>

#include "model/SettingsModel.h"

namespace tarvik::cli {

void PrintProfile(std::ostream& out, const SettingsModel& model, int slot);

} // namespace tarvik::cli
