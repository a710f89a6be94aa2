#include "app/gui/dialogs/CAboutDlg.h"

#include <algorithm>

#include <QCoreApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "app/gui/controls/CHyperLink.h"
#include "app/gui/dialogs/DluMapper.h"
#include "app/gui/GuiText.h"
#include "export/core/VersionInfo.h"

namespace {

constexpr int kDialogWidth = 235;   // dialog units
constexpr int kDialogHeight = 90;
constexpr char kReadme[] = "README.md";

// A label at its template place; a font wider than the template's widens it to its text (the
// gap to the next control leaves room for that).
QLabel* Static(QWidget* parent, QRect place, const QString& text)
{
    auto* label = new QLabel(text, parent);
    place.setWidth(std::max(place.width(), label->fontMetrics().horizontalAdvance(text) + 1));
    label->setGeometry(place);
    return label;
}

} // namespace

QString CAboutDlg::VersionText()
{
    VersionInfo info;
    info.LoadFromModule();
    return QStringLiteral("Sondrel Version ") + FromAnsi(info.GetFileVersionText());
}

QString CAboutDlg::CopyrightText()
{
    VersionInfo info;
    info.LoadFromModule();
    return FromAnsi(info.GetStringValue("LegalCopyright"));
}

QString CAboutDlg::ReadmeUrl()
{
    return QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + '/' + kReadme).toString();
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Sondrel"));
    const DluMapper dlu(font());
    setFixedSize(dlu.X(kDialogWidth), dlu.Y(kDialogHeight));

    auto* icon = new QLabel(this);
    const QRect iconPlace = dlu.Map(11, 10, 21, 20);
    icon->setGeometry(iconPlace.x(), iconPlace.y(), 32, 32);
    icon->setPixmap(QIcon(QStringLiteral(":/res/Sondrel.png")).pixmap(32, 32));

    m_version = Static(this, dlu.Map(40, 16, 119, 8), VersionText());
    m_copyright = Static(this, dlu.Map(11, 38, 199, 8), CopyrightText());

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setGeometry(dlu.Map(178, 7, 50, 14));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    Static(this, dlu.Map(13, 53, 38, 8), QStringLiteral("Homepage:"));
    Static(this, dlu.Map(13, 65, 28, 8), QStringLiteral("Support:"));
    const QString readme = ReadmeUrl();
    m_homepage = new CHyperLink(this);
    m_homepage->setGeometry(dlu.Map(63, 53, 147, 8));
    m_homepage->setText(QStringLiteral("Sondrel README"));
    m_homepage->SetURL(readme);
    m_homepage->SetUnderline(CHyperLink::kUnderlineAlways);
    m_support = new CHyperLink(this);
    m_support->setGeometry(dlu.Map(63, 65, 147, 8));
    m_support->setText(QStringLiteral("Questions and answers: the README"));
    m_support->SetURL(readme);
    m_support->SetUnderline(CHyperLink::kUnderlineAlways);
}
