#include "skin/Skin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>

#include "text/Language.h"

namespace tarvik {

namespace {
double g_uiScale = 1.0;
double g_dpiFactor = 1.0;
std::filesystem::path g_programFolder;
bool g_programFolderSet = false;
} // namespace

double UiScaleForScreen(int cx, int cy) {
    if (cx > 2400 && cy > 1600) return 2.0;
    if (cx > 1800 && cy > 1200) return 1.5;
    return 1.0;
}

double DpiFactorFor(double logicalDpiX) {
    return logicalDpiX / 96.0;
}

double UiScale() {
    return g_uiScale;
}
void SetUiScale(double scale) {
    g_uiScale = scale > 0 ? scale : 1.0;
}
double DpiFactor() {
    return g_dpiFactor;
}
void SetDpiFactor(double factor) {
    g_dpiFactor = factor > 0 ? factor : 1.0;
}

int Scaled(int design, double scale) {
    return static_cast<int>(design * scale);
}
int Scaled(int design) {
    return Scaled(design, g_uiScale);
}

Rect ScaledRect(int l, int t, int r, int b, double scale) {
    return {Scaled(l, scale), Scaled(t, scale), Scaled(r, scale), Scaled(b, scale)};
}
Rect ScaledRect(int l, int t, int r, int b) {
    return ScaledRect(l, t, r, b, g_uiScale);
}

std::filesystem::path ProgramFolder() {
    if (g_programFolderSet) return g_programFolder;
    if (const char* env = std::getenv("TARVIK_PROGRAM_DIR"); env && *env) return std::filesystem::path(env);
    const std::filesystem::path exe = QCoreApplication::applicationDirPath().toStdString();
    std::error_code ec;
    if (std::filesystem::is_directory(exe / "skins", ec)) return exe;
    return exe.parent_path() / "share" / "tarvik";
}

void SetProgramFolder(const std::filesystem::path& folder) {
    g_programFolder = folder;
    g_programFolderSet = !folder.empty();
}

QString SkinFile(const QString& name) {
    QString relative = name;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QDir::isAbsolutePath(relative)) return relative;
    return QDir(QString::fromStdString(ProgramFolder().string())).filePath(relative);
}

void InstallFontSubstitutions() {
    static std::once_flag once;
    std::call_once(once, [] {
        QFont::insertSubstitutions(QStringLiteral("Tahoma"), {QStringLiteral("DejaVu Sans")});
        QFont::insertSubstitutions(QString::fromUtf8("宋体"),
                                   {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                                    QStringLiteral("DejaVu Sans")});
    });
}

QFont MakeFont(int height, const QString& face) {
    InstallFontSubstitutions();
    QFont font(face);
    font.setStyleHint(QFont::SansSerif);
    if (height < 0) {
        font.setPixelSize(-height);
    } else if (height > 0) {
        // A positive height is the whole cell; find the em size that gives it.
        QFont probe(font);
        probe.setPixelSize(100);
        const double cell = QFontMetricsF(probe).height();
        const double em = cell > 0 ? height * 100.0 / cell : height;
        font.setPixelSize(std::max(1, static_cast<int>(em + 0.5)));
    }
    return font;
}

QFont MakeInterfaceFont() {
    const InterfaceFont& f = Language().Font();
    return MakeFont(f.height, QString::fromStdU16String(f.face));
}

QFont MakeDialogFont(int logicalDpiY) {
    const InterfaceFont& f = Language().Font();
    QFont font = MakeFont(-(logicalDpiY * 10) / 72, QString::fromStdU16String(f.face));
    font.setWeight(QFont::DemiBold);
    return font;
}

void DrawSkinText(QPainter& dc, const Rect& r, const QString& text, const QFont& font, Colour colour,
                  unsigned format) {
    if (r.IsEmpty() || text.isEmpty()) return;
    dc.save();
    dc.setFont(font);
    dc.setPen(ToQColor(colour));
    dc.setBackgroundMode(Qt::TransparentMode);
    dc.setClipRect(r.ToQRect(), Qt::IntersectClip);

    int flags = 0;
    if (format & kDtCenter)
        flags |= Qt::AlignHCenter;
    else if (format & kDtRight)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;

    QString shown = text;
    if (format & kDtSingleLine) {
        shown.replace(QLatin1String("\r\n"), QLatin1String(" "));
        shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
        shown.replace(QLatin1Char('\r'), QLatin1Char(' '));
        if (format & kDtVCenter)
            flags |= Qt::AlignVCenter;
        else if (format & kDtBottom)
            flags |= Qt::AlignBottom;
        else
            flags |= Qt::AlignTop;
        if (format & (kDtWordEllipsis | kDtEndEllipsis))
            shown = QFontMetrics(font).elidedText(shown, Qt::ElideRight, r.Width());
    } else {
        flags |= Qt::AlignTop;
        if (format & kDtWordBreak) {
            QTextOption option{Qt::Alignment(flags)};
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            dc.drawText(QRectF(r.ToQRect()), shown, option);
            dc.restore();
            return;
        }
        if (format & (kDtWordEllipsis | kDtEndEllipsis)) {
            // Lines are not wrapped: each one is cut with an ellipsis where it is too wide.
            QStringList lines = shown.split(QLatin1Char('\n'));
            for (QString& line : lines) line = QFontMetrics(font).elidedText(line, Qt::ElideRight, r.Width());
            shown = lines.join(QLatin1Char('\n'));
        }
    }
    dc.drawText(r.ToQRect(), flags, shown);
    dc.restore();
}

int WrappedTextHeight(const QFont& font, int width, const QString& text) {
    if (width <= 0 || text.isEmpty()) return 0;
    // As QPainter::drawText lays out a wrapped text: one layout per paragraph.
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    qreal height = 0;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            height += line.height();
        }
        layout.endLayout();
    }
    return static_cast<int>(std::ceil(height));
}

QFont FitFont(const QFont& font, const QString& text, int width) {
    if (width <= 0 || QFontMetrics(font).horizontalAdvance(text) <= width) return font;
    QFont fitted = font;
    const bool pixels = font.pixelSize() > 0;
    const double full = pixels ? font.pixelSize() : font.pointSizeF();
    for (double size = full - 0.5; size >= full * 0.75; size -= 0.5) {
        if (pixels)
            fitted.setPixelSize(static_cast<int>(size));
        else
            fitted.setPointSizeF(size);
        if (QFontMetrics(fitted).horizontalAdvance(text) <= width) break;
    }
    return fitted;
}

void DrawControlText(QPainter& dc, const Rect& r, const QString& text, const QFont& font, Colour colour,
                     int align, int insetLeft, int insetRight) {
    const unsigned alignFlag = align == 1 ? kDtCenter : align == 2 ? kDtRight : kDtLeft;
    DrawSkinText(dc, Rect{r.left + insetLeft, r.top, r.right - insetRight, r.bottom}, text, font, colour,
                 kControlTextFormat | alignFlag);
}

void FillSolidRect(QPainter& dc, const Rect& r, Colour colour) {
    if (r.IsEmpty()) return;
    dc.fillRect(r.ToQRect(), ToQColor(colour));
}

} // namespace tarvik
