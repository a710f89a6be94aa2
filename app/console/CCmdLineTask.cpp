#include "app/console/CCmdLineTask.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>
#include <utility>

#include "app/CFileInfoReport.h"
#include "app/console/CCmdLineParser.h"
#include "app/console/StreamSelection.h"
#include "app/CSettingsFile.h"
#include "app/CSondrelDoc.h"
#include "datafile/container/CKVTAStreamFile.h"
#include "export/binary/CConvertToBIN.h"
#include "export/core/CConvertInterface.h"
#include "export/core/CExportDriver.h"
#include "export/core/ExportOutputName.h"
#include "export/core/ExportResultText.h"
#include "export/core/VersionInfo.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "export/text/CConvertToASCII.h"
#include "platform/CMessageReporter.h"
#include "platform/ConsoleOutput.h"
#include "platform/File64.h"

namespace fs = std::filesystem;

namespace {

// The whole first character of a command-line value: the shell hands us UTF-8, so a lead byte
// takes its continuation bytes along; any other byte stands alone.
std::string FirstCharacter(const std::string& text)
{
    if (text.empty())
        return text;
    const unsigned char lead = static_cast<unsigned char>(text[0]);
    size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xF4)
        length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    for (size_t i = 1; i < length; ++i)
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return text.substr(0, 1);
    return text.substr(0, length);
}

// The same path however it was written: absolute, "." and ".." resolved, links followed as far
// as the path exists.
std::string ComparablePath(const std::string& path)
{
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(fs::absolute(path, error), error);
    if (error)
        resolved = fs::absolute(path, error).lexically_normal();
    return resolved.string();
}

// True when an entry reads digital events: "Digital Data Event" or "Digital Data Event N".
bool SelectsDigitalEvents(const CKVDataSelection& selection)
{
    static const std::string kEvents = "Digital Data Event";
    for (int i = 0; i < selection.GetCount(); ++i) {
        const std::string& name = selection.At(i)->streamName;
        if (name == kEvents || name.compare(0, kEvents.size() + 1, kEvents + " ") == 0)
            return true;
    }
    return false;
}

} // namespace

CCmdLineTask::CCmdLineTask(const CCmdLineParser* parser, int debug)
    : m_parser(parser), m_debug(debug)
{
    // Both programs share one settings file, named after the program, not after this binary.
    if (m_parser->HasKey("ini"))
        m_iniPath = BuildProfilePath(kProgramName);
}

CCmdLineTask::~CCmdLineTask() = default;

int CCmdLineTask::Run()
{
    if (m_parser->HasKey("version")) {
        VersionInfo version;
        version.LoadFromModule();
        ConsolePrintf("Sondrel Version %s\n%s\n", version.GetFileVersionText().c_str(),
                      version.GetStringValue("LegalCopyright").c_str());
        return 0;
    }

    CConsoleReporter reporter;
    CSondrelDoc doc(reporter);
    if (!OpenInputs(doc))
        return 1;
    const CStreamChannelMap& map = doc.GetStreamChannelMap();
    if (map.GetRecordingKind() == CSondrelDoc::kMixed || map.GetSetupMismatch() != 0)
        return 1;

    if (m_parser->HasKey("list"))
        return PrintFileInfo(doc) ? 0 : 1;

    const size_t outputs = m_parser->Count("o");
    if (outputs == 0) {
        ConsolePrint("No output file specified.\n");
        return 1;
    }
    if (outputs > 1) {
        ConsolePrint("To many output files specified.\n");
        return 1;
    }
    m_outputPath = m_parser->GetVal("o");
    ConsolePrintf("Output file is: %s.\n", m_outputPath.c_str());

    if (ParseSelection(*m_parser, map, doc.GetFile(0), m_debug != 0, doc.GetSelection()) != 0)
        return 1;

    m_recordingKind = map.GetRecordingKind();
    if (m_parser->HasKey("bin")) {
        ConsolePrint("Export to binary.\n");
        m_converter = std::make_unique<CConvertToBIN>(doc.GetFile(0), &doc.GetSelection(),
                                                      &m_recordingKind);
    } else if (m_parser->HasKey("ascii")) {
        ConsolePrint("Export to ascii.\n");
        m_converter = std::make_unique<CConvertToASCII>(doc.GetFile(0), &doc.GetSelection(),
                                                        &m_recordingKind);
    } else {
        ConsolePrint("no valid task option found, please use -help or -? for a full list of "
                     "features.\n");
        return 1;
    }

    ReadSettings();
    int status = 1;
    if (ApplySwitches(doc) == 0) {
        m_converter->SetConsole(true);
        m_converter->SetProgressCallback(&CCmdLineTask::PrintProgress, this);
        if (doc.IsMultiFile()) {
            for (int i = 0; i < doc.GetFileCount(); ++i)
                m_files.push_back(doc.GetFile(i));
            m_converter->SetFileList(&m_files);
        }
        if (CheckOutputNames(doc))
            status = ConvertFiles(doc) == kConvertOk ? 0 : 1;
    }
    m_converter.reset();
    return status;
}

bool CCmdLineTask::OpenInputs(CSondrelDoc& doc)
{
    const size_t inputs = m_parser->Count("i");
    if (inputs == 0) {
        ConsolePrint("No input file specified.\n");
        return false;
    }
    if (inputs == 1) {
        const std::string path = m_parser->GetVal("i");
        ConsolePrintf("Start processing file: %s.\n", path.c_str());
        return doc.OnOpenDocument(path.c_str());
    }
    std::vector<std::string>& paths = doc.GetPathList();
    paths.clear();
    CCmdLineParser::Iterator it = m_parser->Find("i");
    while (!m_parser->IsEnd(it)) {
        std::string path;
        m_parser->GetNextOf(it, "i", path);
        ConsolePrintf("Start processing file: %s\n", path.c_str());
        paths.push_back(path);
    }
    return doc.OnOpenDocument(nullptr);
}

bool CCmdLineTask::PrintFileInfo(CSondrelDoc& doc)
{
    bool ok = true;
    for (int i = 0; i < doc.GetFileCount(); ++i) {
        ok = CFileInfoReport::Print(*doc.GetFile(i), stdout) && ok;
        ConsolePrint("\n");
    }
    return ok && !std::ferror(stdout);
}

void CCmdLineTask::ReadSettings()
{
    // An empty path reads every default: 0, and "%" as the comment text.
    const ExportSettings settings = CSettingsFile(m_iniPath).Read();
    m_singleOutfile = settings.SingleOutfile;
    m_assumeSplittedFile = settings.AssumeSplittedFile;
    m_baseIsPressedStart = settings.BaseIsPressedStart;
    if (m_converter)
        m_converter->Options() = settings.Options;
}

int CCmdLineTask::ApplySwitches(const CSondrelDoc& doc)
{
    // One switch and its twin: the switch sets 1, the twin 0, neither keeps the setting.
    const auto pair = [this](const char* on, const char* off, int& target) {
        const bool hasOn = m_parser->HasKey(on);
        const bool hasOff = m_parser->HasKey(off);
        if (hasOn && hasOff) {
            ConsolePrintf("Conflicting options are selected: -%s and -%s.\n", off, on);
            return false;
        }
        if (hasOn)
            target = 1;
        else if (hasOff)
            target = 0;
        ConsolePrintf("Option: -%s\n", target ? on : off);
        return true;
    };

    if (doc.IsMultiFile()) {
        if (!pair("AssumeSplittedFile", "NoAssumeSplittedFile", m_assumeSplittedFile)
            || !pair("SingleOutfile", "NoSingleOutfile", m_singleOutfile))
            return 1;
        if (!m_assumeSplittedFile && m_singleOutfile) {
            ConsolePrint("-NoAssumeSplittedFile and -SingleOutfile is not allowed.\n");
            return 1;
        }
    }
    if (!m_converter)
        return 0;
    ConvertOptions& options = m_converter->Options();
    const std::string task = m_converter->GetTaskOption();
    if (task == "-ascii") {
        if (!pair("BaseIsPressedStart", "NoBaseIsPressedStart", m_baseIsPressedStart))
            return 1;
        if (doc.GetStreamChannelMap().GetRecordingKind() == CSondrelDoc::kTriggered
            && !pair("SweepHeader", "NoSweepHeader", options.SweepHeader))
            return 1;
        if (SelectsDigitalEvents(doc.GetSelection())
            && !pair("DigitalEventInitialValue", "NoDigitalEventInitialValue",
                     options.DigitalEventInitialValue))
            return 1;

        const bool hasOn = m_parser->HasKey("CommentChar");
        const bool hasOff = m_parser->HasKey("NoCommentChar");
        if (hasOn && hasOff) {
            ConsolePrint("Conflicting options are selected: -NoCommentChar and -CommentChar.\n");
            return 1;
        }
        if (hasOn) {
            options.CommentChar = 1;
            // An empty value keeps the text read before: a comment of nothing helps no reader.
            const std::string text = FirstCharacter(m_parser->GetVal("CommentChar"));
            if (!text.empty())
                options.CommentCharText = text;
        } else if (hasOff) {
            options.CommentChar = 0;
        }
        if (options.CommentChar)
            ConsolePrintf("Option: -%s %s\n", "CommentChar", options.CommentCharText.c_str());
        else
            ConsolePrintf("Option: -%s\n", "NoCommentChar");
    } else if (task == "-bin") {
        if (!pair("WriteHeader", "NoWriteHeader", options.WriteHeader)
            || !pair("ToSigned", "ToUnsigned", options.ToSigned))
            return 1;
    }
    return 0;
}

bool CCmdLineTask::OpensEachOutput() const
{
    // The console never asks for one file per sweep, so the converter's single output stays set.
    return CExportDriver::OpensEachOutput(m_singleOutfile != 0, m_converter->GetSingleOutput(),
                                          m_assumeSplittedFile != 0);
}

bool CCmdLineTask::CheckOutputNames(const CSondrelDoc& doc) const
{
    std::vector<std::pair<std::string, std::string>> outputs;   // output, input
    if (!doc.IsMultiFile() || !OpensEachOutput()) {
        outputs.emplace_back(m_outputPath, doc.GetFile(0)->GetPath());
    } else {
        for (int i = 0; i < doc.GetFileCount(); ++i) {
            const std::string& input = doc.GetFile(i)->GetPath();
            outputs.emplace_back(
                ExportOutputName(m_outputPath, OutputPathKind::kFolderOrFile, input, m_converter->GetFileExtension()),
                input);
        }
    }
    for (const auto& output : outputs) {
        for (int i = 0; i < doc.GetFileCount(); ++i) {
            if (SameFile(output.first, doc.GetFile(i)->GetPath())) {
                ConsolePrintf("The output file %s is the input file %s. Nothing was converted.\n",
                              output.first.c_str(), doc.GetFile(i)->GetPath().c_str());
                return false;
            }
        }
    }
    std::map<std::string, std::string> written;   // comparable output path -> input
    for (const auto& output : outputs) {
        const auto [it, added] = written.emplace(ComparablePath(output.first), output.second);
        if (!added) {
            ConsolePrintf("The input files %s and %s would both be written to %s. Nothing was "
                          "converted.\n",
                          it->second.c_str(), output.second.c_str(), output.first.c_str());
            return false;
        }
    }
    return true;
}

int CCmdLineTask::ConvertFiles(CSondrelDoc& doc)
{
    CConvertInterface& c = *m_converter;
    c.SetOutputName(m_outputPath);
    if (!doc.IsMultiFile()) {
        // The console has no sweep range of its own: the one input goes whole.
        CKVD& file = *doc.GetFile(0);
        c.SetSweepRange(1, static_cast<unsigned>(file.GetStreamFile().GetSweepCount()));
        c.SetInputName(file.GetPath());
    }
    ExportBatch batch;
    batch.perFile = OpensEachOutput();
    batch.assumeSplittedFile = m_assumeSplittedFile != 0;
    batch.baseIsPressedStart = m_baseIsPressedStart != 0;
    batch.fileStreams = [&doc](int index) { return doc.GetFileStreams(index); };
    batch.outputName = [this, &c] {
        return ExportOutputName(m_outputPath, OutputPathKind::kFolderOrFile, c.GetInputName(), c.GetFileExtension());
    };
    batch.reportNoChannels = [](const std::string& input) {
        ConsolePrintf("%s%s%s\n", kNoNewOutputHead, input.c_str(), kNoNewOutputTail);
    };
    CExportDriver driver(c, std::move(batch));
    const int result = driver.Run();
    ConsolePrint(ExportResultText(result, driver.GetRemoved(), ExportFrontEnd::kConsole));
    return result;
}

int CCmdLineTask::PrintProgress(void* context, int percent, const char* text)
{
    const CCmdLineTask* task = static_cast<const CCmdLineTask*>(context);
    const std::string input = task && task->m_converter ? task->m_converter->GetInputName() : "";
    ConsolePrintf("Progress: %s %s %d%%\n", input.c_str(), text ? text : "", percent);
    return 0;
}
