// The program's icon for the desktop: a mouse seen from above on a dark tile.
// One list of shapes is both written as SVG text (the scalable icon) and painted
// with QPainter (the PNG sizes), so the two always show the same mark.
#pragma once

#include <QImage>
#include <QString>

#include <vector>

namespace skingen {

// The sizes of the PNG icons next to the scalable one.
inline const std::vector<int> kAppIconSizes = {48, 128, 256};

// The icon as an SVG document (design box 256 x 256).
QString AppIconSvg();
// The icon painted at size x size pixels.
QImage AppIconImage(int size);
// Writes DIR/hicolor/scalable/apps/NAME.svg and DIR/hicolor/NxN/apps/NAME.png
// for every size above. False (with a line on stderr) when a file cannot be written.
bool WriteAppIcons(const QString& dir, const QString& name);

} // namespace skingen
