// The about box, laid out in the dialog units of its template.

#include "keyrow/CKeyrowAboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "keyrow/KeyrowArt.h"
#include "keyrow/KeyrowDialogUnits.h"

CKeyrowAboutDlg::CKeyrowAboutDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName("KeyrowAboutBox");
    setWindowTitle("About Keyrow Control");
    setWindowIcon(KeyrowIcon());
    setModal(true);
    const KeyrowDialogUnits dlu(font());
    setFixedSize(dlu.X(260), dlu.Y(55));

    auto* icon = new QLabel(this);
    icon->setPixmap(KeyrowIconPixmap(32));
    icon->setGeometry(dlu.X(10), dlu.Y(10), 32, 32);

    auto* name = new QLabel("Keyrow Control, Version 1.1.0", this);
    name->setGeometry(dlu.Map(40, 10, 170, 8));
    auto* purpose = new QLabel("Channel buttons for picking recording channels", this);
    purpose->setGeometry(dlu.Map(40, 25, 175, 8));

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("KeyrowAboutOk");
    ok->setGeometry(dlu.Map(221, 7, 32, 16));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
