#include "app/gui/CMessageBoxReporter.h"

#include "app/gui/GuiMessages.h"
#include "platform/TextEncoding.h"

void CMessageBoxReporter::Report(const std::string& text)
{
    // The document's texts carry file names, which are UTF-8 here: kept as they are, while any
    // other byte is taken as Windows-1252.
    ShowMessage(QString::fromStdString(ToDisplayText(text)), QMessageBox::Ok, QMessageBox::Warning);
}

CMessageBoxReporter& CMessageBoxReporter::Instance()
{
    static CMessageBoxReporter reporter;
    return reporter;
}
