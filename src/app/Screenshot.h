// --screenshot FILE [--after MS]: once the event loop has run the start-up and
// MS more milliseconds, the window is rendered into a PNG file and the program
// ends (exit 0, or 1 with a message when the file cannot be written).
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace tarvik::app {

// The PNG quality of the screenshot (Qt maps 80 to zlib level 1).
inline constexpr int kScreenshotQuality = 80;

// Arms the screenshot. `done` receives the exit code (default: quit the
// application with it); a window that is gone by then gives 1.
void ScheduleScreenshot(QWidget& window, const QString& file, int afterMs,
                        std::function<void(int exitCode)> done = {});

} // namespace tarvik::app
