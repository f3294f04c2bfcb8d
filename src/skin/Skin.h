// The drawing substrate every skinned window shares: rectangles, colours, the
// UI scale and DPI factor, the program folder with its skins/ pictures, the
// interface and dialog fonts, and the text-drawing rule of the controls.
#pragma once

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "skin/SkinManifest.h"

class QPainter;

namespace tarvik {

// Colours are held and passed as red | green << 8 | blue << 16.
using Colour = std::uint32_t;

constexpr Colour Rgb(int r, int g, int b) {
    return static_cast<Colour>((r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16);
}
inline QColor ToQColor(Colour c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}
inline Colour FromQColor(const QColor& c) {
    return Rgb(c.red(), c.green(), c.blue());
}

inline constexpr Colour kTextNormal = Rgb(180, 180, 180);  // normal control text, normal list item
inline constexpr Colour kTextHover = Rgb(255, 255, 255);   // hover text, highlighted item
inline constexpr Colour kTextChecked = Rgb(255, 255, 0);   // pressed or checked text
inline constexpr Colour kAccentColour = Rgb(53, 160, 222); // separators, scroll thumb under the mouse
inline constexpr Colour kWindowFill = Rgb(186, 226, 239);  // a window before its background is set

// A rectangle as the windows keep it: right and bottom are exclusive.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
    bool Contains(QPoint p) const { return Contains(p.x(), p.y()); }
    bool Intersects(const Rect& o) const {
        return !IsEmpty() && !o.IsEmpty() && left < o.right && o.left < right && top < o.bottom &&
               o.top < bottom;
    }
    QRect ToQRect() const { return QRect(left, top, Width(), Height()); }
    static Rect FromQRect(const QRect& r) {
        return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// (-1, -1, -1, -1): no rectangle; contains no point.
inline constexpr Rect kNoRect{-1, -1, -1, -1};

// UI scale from the full-screen client size: 2.0 above 2400 x 1600, 1.5 above
// 1800 x 1200, else 1.0.
double UiScaleForScreen(int cx, int cy);
// DPI factor from the screen's horizontal logical pixels per inch.
double DpiFactorFor(double logicalDpiX);

// The process-wide factors, set once at start-up (1.0 until then).
double UiScale();
void SetUiScale(double scale);
double DpiFactor();
void SetDpiFactor(double factor);

// A design coordinate times the UI scale, truncated toward zero.
int Scaled(int design);
int Scaled(int design, double scale);
// A design rectangle (l, t)-(r, b) with every coordinate scaled.
Rect ScaledRect(int l, int t, int r, int b);
Rect ScaledRect(int l, int t, int r, int b, double scale);

// The program folder, which holds skins/: $TARVIK_PROGRAM_DIR, else the
// executable's folder when it has skins/, else <executable>/../share/tarvik.
std::filesystem::path ProgramFolder();
// Overrides the lookup (the application sets the folder it resolved; tests point it elsewhere).
void SetProgramFolder(const std::filesystem::path& folder);
// A skin file name ("skins\check_nr.png" or "skins/check_nr.png") below the
// program folder; an absolute path is returned unchanged.
QString SkinFile(const QString& name);

// A skin file name the program spells out ("skins\\exit_nr.png"), checked against
// the skin manifest when the program is compiled: a name that is not in the
// manifest does not compile. Converts to the QString the loaders take.
class SkinName {
public:
    consteval SkinName(const char* name) : name_(Checked(name)) {}
    operator QString() const {
        return QString::fromLatin1(name_.data(), static_cast<qsizetype>(name_.size()));
    }
    std::string_view View() const { return name_; }

private:
    static consteval std::string_view Checked(std::string_view name) {
        if (SkinFileIndex(name) < 0) throw "not a file of the skin manifest";
        return name;
    }
    std::string_view name_;
};

// Maps the faces the language files name ("Tahoma", "宋体") to installed ones.
void InstallFontSubstitutions();
// A font of the given character height in device pixels: a positive height is
// the cell height (ascent + descent), a negative one the em height, 0 the default.
QFont MakeFont(int height, const QString& face);
// The interface font of the loaded language.
QFont MakeInterfaceFont();
// The dialog font of a skinned window: the interface face, weight 600, 10 points
// at the given vertical pixels per inch.
QFont MakeDialogFont(int logicalDpiY);

// Text format flags in the style of the window system's text drawing.
inline constexpr unsigned kDtLeft = 0x0;
inline constexpr unsigned kDtCenter = 0x1;
inline constexpr unsigned kDtRight = 0x2;
inline constexpr unsigned kDtVCenter = 0x4;
inline constexpr unsigned kDtBottom = 0x8;
inline constexpr unsigned kDtWordBreak = 0x10;
inline constexpr unsigned kDtSingleLine = 0x20;
inline constexpr unsigned kDtEndEllipsis = 0x8000;
inline constexpr unsigned kDtWordEllipsis = 0x40000;
// Single line, vertically centred, word ellipsis: the controls' text rule.
inline constexpr unsigned kControlTextFormat = kDtSingleLine | kDtVCenter | kDtWordEllipsis;

// Draws text in `r` with the font and colour, transparent background, by the
// format flags. The painter's font and pen are restored afterwards. Word
// break wraps at word boundaries, and inside a word only when it is wider
// than the rectangle (a long path).
void DrawSkinText(QPainter& dc, const Rect& r, const QString& text, const QFont& font, Colour colour,
                  unsigned format);
// The height that `text` takes when drawn with word break into `width` pixels.
int WrappedTextHeight(const QFont& font, int width, const QString& text);
// `font`, or a smaller size of its face (down to three quarters) in which the
// one-line `text` fits `width` pixels: for a label too long for its place.
QFont FitFont(const QFont& font, const QString& text, int width);
// The control text rule: `r` shrunk by the insets, the control's alignment
// (0 left, 1 centred, 2 right), single line, vertically centred, word ellipsis.
void DrawControlText(QPainter& dc, const Rect& r, const QString& text, const QFont& font, Colour colour,
                     int align, int insetLeft, int insetRight);

// A plain solid fill.
void FillSolidRect(QPainter& dc, const Rect& r, Colour colour);

} // namespace tarvik
