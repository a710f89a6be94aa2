#include "app/gui/ExportCommand.h"

#include <memory>
#include <vector>

#include "app/CSettingsFile.h"
#include "app/CSondrelDoc.h"
#include "app/gui/dialogs/CDlgKVD2ABF.h"
#include "app/gui/dialogs/CDlgKVD2ASCII.h"
#include "app/gui/dialogs/CDlgKVD2BIN.h"
#include "export/abf/CConvertToABF.h"
#include "export/binary/CConvertToBIN.h"
#include "export/text/CConvertToASCII.h"

namespace {

ExportDialogHook& DialogHook()
{
    static ExportDialogHook hook;
    return hook;
}

} // namespace

void SetExportDialogHook(ExportDialogHook hook)
{
    DialogHook() = std::move(hook);
}

void RunExportCommand(ExportFormat format, CSondrelDoc& doc, QWidget* parent, int splitPermission)
{
    if (doc.GetFileCount() == 0)
        return;
    CSettingsFile settings(BuildProfilePath(kProgramName));
    uint16_t recordingKind = doc.GetStreamChannelMap().GetRecordingKind();
    std::vector<CKVD*> files;
    for (int i = 0; i < doc.GetFileCount(); ++i)
        files.push_back(doc.GetFile(i));

    std::unique_ptr<CConvertInterface> converter;
    std::unique_ptr<CDlgSelection> dialog;
    switch (format) {
    case ExportFormat::Abf: {
        auto abf = std::make_unique<CConvertToABF>(doc.GetFile(0), &doc.GetSelection(), &recordingKind);
        CConvertToABF* raw = abf.get();
        converter = std::move(abf);
        if (doc.IsMultiFile())
            converter->SetFileList(&files);
        dialog = std::make_unique<CDlgKVD2ABF>(raw, &doc, &settings, parent);
        break;
    }
    case ExportFormat::Ascii:
        converter = std::make_unique<CConvertToASCII>(doc.GetFile(0), &doc.GetSelection(), &recordingKind);
        if (doc.IsMultiFile())
            converter->SetFileList(&files);
        dialog = std::make_unique<CDlgKVD2ASCII>(converter.get(), &doc, &settings, parent);
        break;
    case ExportFormat::Bin:
        converter = std::make_unique<CConvertToBIN>(doc.GetFile(0), &doc.GetSelection(), &recordingKind);
        if (doc.IsMultiFile())
            converter->SetFileList(&files);
        dialog = std::make_unique<CDlgKVD2BIN>(converter.get(), &doc, &settings, parent);
        break;
    }
    // The ABF command never offers one output for the parts of a split recording.
    dialog->SetSplitPermission(format == ExportFormat::Abf ? 0 : splitPermission);
    if (DialogHook())
        DialogHook()(*dialog);
    else
        dialog->exec();
    dialog.reset();
    converter.reset();
    doc.GetSelection().RemoveAll();
}
