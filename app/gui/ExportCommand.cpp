#include "app/gui/ExportCommand.h"

#include "app/CSondrelDoc.h"
#include "app/gui/GuiMessages.h"

// Stands in until the export dialogs are built: says so, and leaves the document as an export
// command would (its selection emptied).
void RunExportCommand(ExportFormat /*format*/, CSondrelDoc& doc, QWidget* /*parent*/,
                      int /*splitPermission*/)
{
    ShowMessage(QStringLiteral("The export dialogs are not part of this build."));
    doc.GetSelection().RemoveAll();
}
