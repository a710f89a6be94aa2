#include "app/gui/controls/CAutoFont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>

namespace {

constexpr int kFixedPitch = 0x01;
constexpr int kFamilyMask = 0xF0;
constexpr int kRoman = 0x10;
constexpr int kSwiss = 0x20;
constexpr int kModern = 0x30;
constexpr int kScript = 0x40;
constexpr int kDecorative = 0x50;

QFont::StyleHint StyleHintOf(int pitchAndFamily)
{
    switch (pitchAndFamily & kFamilyMask) {
    case kRoman: return QFont::Serif;
    case kSwiss: return QFont::SansSerif;
    case kModern: return QFont::TypeWriter;
    case kScript: return QFont::Cursive;
    case kDecorative: return QFont::Decorative;
    default: return QFont::AnyStyle;
    }
}

// The Windows faces the program asks for, as this platform's fonts: the sans-serif faces become
// the desktop's default font, "Courier" its fixed font.
QString FamilyOf(const QString& face)
{
    if (face.compare(QLatin1String("Courier"), Qt::CaseInsensitive) == 0
        || face.compare(QLatin1String("Courier New"), Qt::CaseInsensitive) == 0)
        return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    if (face.compare(QLatin1String("MS Sans Serif"), Qt::CaseInsensitive) == 0
        || face.compare(QLatin1String("MS Shell Dlg"), Qt::CaseInsensitive) == 0
        || face.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0)
        return QGuiApplication::font().family();
    return face;
}

// A positive height is the cell height: the largest pixel size whose line height fits it.
void ApplyHeight(QFont& font, int height)
{
    if (height < 0) {
        font.setPixelSize(-height);
        return;
    }
    if (height == 0)
        return;
    int pixels = height;
    font.setPixelSize(pixels);
    while (pixels > 1 && QFontMetrics(font).height() > height)
        font.setPixelSize(--pixels);
}

} // namespace

CAutoFont::CAutoFont(const QString& faceName)
{
    m_description.faceName = faceName.left(kMaxFaceName);
    CreateFont();
}

void CAutoFont::CreateFont()
{
    const AutoFontDescription& d = m_description;
    QFont font(FamilyOf(d.faceName));
    font.setStyleHint(StyleHintOf(d.pitchAndFamily),
                      d.quality == 2 ? QFont::PreferQuality : QFont::PreferDefault);
    font.setFixedPitch((d.pitchAndFamily & kFixedPitch) != 0);
    font.setWeight(static_cast<QFont::Weight>(qBound(100, d.weight == 0 ? 400 : d.weight, 900)));
    font.setItalic(d.italic);
    font.setUnderline(d.underline);
    font.setStrikeOut(d.strikeOut);
    ApplyHeight(font, d.height);
    m_font = font;
}
