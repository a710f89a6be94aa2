#pragma once
// A font made from a face name and a small description that callers change and re-create.

#include <QFont>
#include <QString>

// What the font is made from. Heights follow the Windows rule: negative = character height in
// pixels, positive = cell height (character plus internal leading), 0 = the default size.
struct AutoFontDescription {
    int height = 16;
    int weight = 400;            // 100..900, 400 normal, 700 bold
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int quality = 2;             // proof quality
    int pitchAndFamily = 0x12;   // variable pitch, roman family
    QString faceName;            // at most 31 characters
};

class CAutoFont {
public:
    static constexpr int kMaxFaceName = 31;

    // Fills the description with the defaults and `faceName`, and creates the font.
    explicit CAutoFont(const QString& faceName);

    // Change the description, then CreateFont() makes the font anew from it.
    AutoFontDescription& Description() { return m_description; }
    void CreateFont();

    const QFont& Font() const { return m_font; }
    operator const QFont&() const { return m_font; }

private:
    AutoFontDescription m_description;
    QFont m_font;
};
