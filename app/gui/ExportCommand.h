#pragma once
// The three export commands of the Tools menu: each builds the converter of its format and the
// format's dialog for the document, runs the dialog modally and then empties the selection.

class CSondrelDoc;
class QWidget;

enum class ExportFormat { Abf, Ascii, Bin };

// `splitPermission`: nonzero lets the dialog offer one output file for the parts of a split
// recording (the text and binary commands pass the document's can-merge value AND 2).
void RunExportCommand(ExportFormat format, CSondrelDoc& doc, QWidget* parent, int splitPermission);
