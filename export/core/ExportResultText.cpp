#include "export/core/ExportResultText.h"

#include "export/core/CConvertInterface.h"

namespace {

// nullptr: no text of its own, so the removed entries decide; "": nothing at all.
struct ResultWords
{
    int result;
    const char* console;
    const char* dialog;
};

constexpr ResultWords kResultWords[] = {
    {kConvertNoChannels, "No channels selected", "No channels selected"},
    {kConvertOpenFailed, "Can not open file. Please check the path and filename.",
     "Can not open file. Please check the path and filename."},
    {kConvertCloseFailed, "Can not close file.", "Can not close file."},
    {kConvertHeaderFailed, "Can not update ABF header.", "Can not update ABF header."},
    {kConvertCancelled, "Export cancelled.", "Export canceled."},
    {kConvertChannelsMissing,
     "Selected Channels are not available for all files, single outfile export is not possible.",
     "Selected Channels are not available for all files, single outfile export is not possible."},
    {kConvertIncompatible, "The selection of streams/channels is not compatible.",
     "The selection of channels is not compatible."},
    {kConvertRatesDiffer, "Streams with different sample rates are not compatible.",
     "Streams with different sample rates are not compatible."},
    // The converter has shown its own message; the console adds nothing to it.
    {kConvertReported, "", nullptr},
};

constexpr char kNotAvailableForAll[] = "Selected Channels are not available for all files.";

} // namespace

std::string ExportResultText(int result, int removed, ExportFrontEnd frontEnd)
{
    for (const ResultWords& words : kResultWords) {
        if (words.result != result)
            continue;
        const char* text = frontEnd == ExportFrontEnd::kConsole ? words.console : words.dialog;
        if (text)
            return text;
        break;
    }
    return removed != 0 ? kNotAvailableForAll : std::string();
}
