#pragma once
// The about box: the program's icon, version and copyright, and links to the project's README.

#include <QDialog>
#include <QString>

class CHyperLink;
class QLabel;
class QPushButton;

class CAboutDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // "Sondrel Version %u.%u.%u" and the copyright line, from the program's version block.
    static QString VersionText();
    static QString CopyrightText();
    // Where the two links lead: the project's README, installed beside the program.
    static QString ReadmeUrl();

    QLabel* VersionLabel() const { return m_version; }
    QLabel* CopyrightLabel() const { return m_copyright; }
    CHyperLink* HomepageLink() const { return m_homepage; }
    CHyperLink* SupportLink() const { return m_support; }
    QPushButton* OkButton() const { return m_ok; }

private:
    QLabel* m_version = nullptr;
    QLabel* m_copyright = nullptr;
    CHyperLink* m_homepage = nullptr;
    CHyperLink* m_support = nullptr;
    QPushButton* m_ok = nullptr;
};
