#pragma once
// The three export commands of the Tools menu: each builds the converter of its format and the
// format's dialog for the document, runs the dialog modally and then empties the selection.

#include <functional>

class CDlgSelection;
class CSondrelDoc;
class QWidget;

enum class ExportFormat { Abf, Ascii, Bin };

// `splitPermission`: nonzero lets the dialog offer one output file for the parts of a split
// recording (the text and binary commands pass the document's can-merge value AND 2).
void RunExportCommand(ExportFormat format, CSondrelDoc& doc, QWidget* parent, int splitPermission);

// Runs the export dialog instead of its modal loop (tests and the screenshot run drive it
// shown); the dialog is not yet initialised. Empty = exec().
using ExportDialogHook = std::function<void(CDlgSelection& dialog)>;
void SetExportDialogHook(ExportDialogHook hook);
