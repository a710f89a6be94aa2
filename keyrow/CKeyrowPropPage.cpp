// The property page, laid out in the dialog units of its template.

#include "keyrow/CKeyrowPropPage.h"

#include <QLabel>

#include "keyrow/core/KeyrowResources.h"
#include "keyrow/KeyrowDialogUnits.h"

CKeyrowPropPage::CKeyrowPropPage(QWidget* parent) : QWidget(parent)
{
    setObjectName("KeyrowPropPage");
    setWindowTitle(Caption());
    const KeyrowDialogUnits dlu(font());
    setFixedSize(dlu.X(250), dlu.Y(62));
    auto* text = new QLabel(
        "TODO: Place controls to manipulate properties of Keyrow Control on this dialog.", this);
    text->setObjectName("KeyrowPropPageText");
    text->setWordWrap(true);
    text->setGeometry(dlu.Map(7, 25, 236, 16));
}

QString CKeyrowPropPage::Caption()
{
    return QString::fromStdString(KeyrowString(kIdsKeyrowPropPageCaption));
}
