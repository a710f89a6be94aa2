#pragma once
// The control's about box: its icon, name and version, and an OK button.

#include <QDialog>

class CKeyrowAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CKeyrowAboutDlg(QWidget* parent = nullptr);
};
