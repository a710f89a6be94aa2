#include "app/gui/GuiText.h"

#include <QFile>

namespace {

// Characters of the bytes 0x80..0x9F; the rest of the code page is Latin-1.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char AnsiOf(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

QString FromAnsi(const std::string& ansi)
{
    QString text;
    text.reserve(static_cast<qsizetype>(ansi.size()));
    for (char byte : ansi) {
        const unsigned char b = static_cast<unsigned char>(byte);
        text.append(QChar(b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : char16_t(b)));
    }
    return text;
}

std::string ToAnsi(const QString& text)
{
    std::string ansi;
    ansi.reserve(static_cast<size_t>(text.size()));
    // By code point, so a character outside the basic plane gives one '?', not two.
    for (char32_t c : text.toUcs4())
        ansi.push_back(AnsiOf(c));
    return ansi;
}

QString FromPath(const std::string& path)
{
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string ToPath(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}
