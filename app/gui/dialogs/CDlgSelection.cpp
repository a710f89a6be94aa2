#include "app/gui/dialogs/CDlgSelection.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include "app/CSettingsFile.h"
#include "app/CSondrelDoc.h"
#include "app/gui/controls/CAnimateCtrl.h"
#include "app/gui/controls/CBitSelection.h"
#include "app/gui/controls/CFilenameEdit.h"
#include "app/gui/controls/CFilenameListBox.h"
#include "app/gui/controls/CUpDown.h"
#include "app/gui/dialogs/CFolderDlg.h"
#include "app/gui/dialogs/DluMapper.h"
#include "app/gui/dialogs/ExportNames.h"
#include "app/gui/dialogs/OCProgressDlg.h"
#include "app/gui/FileDialogs.h"
#include "app/gui/GuiMessages.h"
#include "app/gui/GuiText.h"
#include "export/core/CConvertInterface.h"
#include "export/core/CExportDriver.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "export/model/CStreamChannelMap.h"
#include "platform/AppPaths.h"
#include "platform/CMessageReporter.h"

namespace {

constexpr int kSweepCheckDelayMs = 500;
constexpr char kAnimationFile[] = "ConvertAnimation.avi";

std::string& AnimationFolder()
{
    static std::string folder;
    return folder;
}

std::function<void(int)>& ExitHook()
{
    static std::function<void(int)> hook;
    return hook;
}

// Converter messages in message boxes, as the document's.
class CDialogReporter : public CMessageReporter
{
public:
    void Report(const std::string& text) override
    {
        ShowMessage(FromAnsi(text), QMessageBox::Ok, QMessageBox::Warning);
    }
};

CDialogReporter& DialogReporter()
{
    static CDialogReporter reporter;
    return reporter;
}

int ForwardProgress(void* context, int percent, const char* text)
{
    return static_cast<CDlgSelection*>(context)->OnProgress(percent, text ? text : "");
}

bool ParseUnsigned(const QString& text, unsigned& value)
{
    bool ok = false;
    const qulonglong parsed = text.trimmed().toULongLong(&ok);
    if (!ok || parsed > 0xFFFFFFFFull)
        return false;
    value = static_cast<unsigned>(parsed);
    return true;
}

// Case-insensitive place of `text` in a sorted list, as a sorted list box inserts.
int SortedRow(const QListWidget& list, const QString& text)
{
    int row = 0;
    while (row < list.count() && QString::compare(list.item(row)->text(), text, Qt::CaseInsensitive) <= 0)
        ++row;
    return row;
}

} // namespace

void CDlgSelection::SetAnimationFolder(const std::string& folder)
{
    AnimationFolder() = folder;
}

void CDlgSelection::SetExitHook(std::function<void(int)> hook)
{
    ExitHook() = std::move(hook);
}

void CDlgSelection::EndProgram(int status)
{
    if (ExitHook())
        ExitHook()(status);
    else
        std::exit(status);
}

CDlgSelection::CDlgSelection(CConvertInterface* converter, CSondrelDoc* doc, CSettingsFile* settings,
                             QWidget* parent)
    : QDialog(parent)
    , m_converter(converter)
    , m_doc(doc)
    , m_settings(settings)
{
    m_converter->SetProgressCallback(&ForwardProgress, this);
    m_converter->SetReporter(&DialogReporter());
    m_dlu = std::make_unique<DluMapper>(font());
    m_sweepTimer = new QTimer(this);
    m_sweepTimer->setSingleShot(true);
    connect(m_sweepTimer, &QTimer::timeout, this, &CDlgSelection::CheckSweepField);
    CreateControls();
}

CDlgSelection::~CDlgSelection()
{
    m_converter->SetProgressCallback(nullptr, nullptr);
}

QWidget* CDlgSelection::Control(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

bool CDlgSelection::Initialize()
{
    if (!m_initialized) {
        m_initialized = true;
        if (!OnInitDialog())
            return false;
        FitCaptions();
    }
    return true;
}

int CDlgSelection::exec()
{
    if (!Initialize())
        return QDialog::Rejected;
    return QDialog::exec();
}

bool CDlgSelection::IsMultiFile() const
{
    return m_converter->GetFileList() != nullptr;
}

bool CDlgSelection::SplitFilesPermitted() const
{
    // One file is no part of a split recording, whatever its creator allowed.
    const std::vector<CKVD*>* files = m_converter->GetFileList();
    return m_splitPermission != 0 && files && files->size() > 1;
}

const CStreamChannelMap& CDlgSelection::Map() const
{
    return m_doc->GetStreamChannelMap();
}

bool CDlgSelection::OnInitDialog()
{
    CreateRunTimeControls();
    CFilenameListBox* inputs = ControlAs<CFilenameListBox>(kIdInputList);
    CFilenameListBox* outputs = ControlAs<CFilenameListBox>(kIdOutputList);
    if (IsMultiFile()) {
        SetBrowseCaption(QStringLiteral("Browse path"));
        Control(kIdOutputName)->hide();
        Control(kIdInputName)->hide();
        inputs->show();
        outputs->show();
        FillFileLists();
        for (int id : {kIdSweepStart, kIdSweepStop, kIdStartSpin, kIdStopSpin})
            Control(id)->setEnabled(false);
        ControlAs<QLineEdit>(kIdSweepStart)->clear();
        ControlAs<QLineEdit>(kIdSweepStop)->clear();
        Control(kIdAssumeSplitted)->setVisible(SplitFilesPermitted());
    } else {
        SetBrowseCaption(QStringLiteral("Browse"));
        Control(kIdOutputName)->show();
        Control(kIdInputName)->show();
        inputs->hide();
        outputs->hide();
        if (CKVD* source = m_converter->GetDataSource())
            m_converter->SetInputName(source->GetPath());
        m_converter->SetOutputName(BuildOutputName());
        LoadControls();
        Control(kIdAssumeSplitted)->hide();
    }

    if (!CreatePanels())
        return false;

    ControlAs<QLabel>(kIdStatus)->clear();
    FillStreamList();
    OpenAnimation();

    const ExportSettings settings = m_settings->Read();
    if (Map().GetRecordingKind() == kRecordingContinuous) {
        ShowSweepControls(false);
        Control(kIdSingleFile)->hide();
    } else {
        ShowSweepControls(true);
        Control(kIdSingleFile)->show();
        if (!IsMultiFile() && m_converter->GetDataSource())
            SetSweepRange(static_cast<unsigned>(m_converter->GetDataSource()->GetStreamFile().GetSweepCount()));
        m_converter->SetSingleOutput(settings.SingleFile != 0);
    }
    if (SplitFilesPermitted())
        m_assumeSplittedFile = settings.AssumeSplittedFile;
    m_singleOutfile = settings.SingleOutfile;
    UpdateOutputControls();

    Control(kIdWriteHeader)->hide();
    Control(kIdInitialValues)->hide();
    QFont comment = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    comment.setPointSize(8);
    Control(kIdCommentText)->setFont(comment);
    m_converter->Options().CommentChar = settings.Options.CommentChar;
    m_converter->Options().CommentCharText = settings.Options.CommentCharText;
    Control(kIdCommentText)->setVisible(settings.Options.CommentChar != 0);
    m_baseIsPressedStart = settings.BaseIsPressedStart;
    LoadControls();
    return true;
}

void CDlgSelection::CreateRunTimeControls()
{
    const QRect origin = m_dlu->Map(120, 92, 0, 0);
    m_trigger = new QPushButton(QStringLiteral("Tr"), this);
    m_trigger->setCheckable(true);
    m_trigger->setGeometry(origin.x(), origin.y(), 24, 16);
    m_trigger->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    m_trigger->hide();
    m_controls[kIdTrigger] = m_trigger;
    m_trigger->setObjectName(QStringLiteral("id%1").arg(kIdTrigger));
    connect(m_trigger, &QPushButton::clicked, this, &CDlgSelection::OnTriggerClicked);

    const int left = m_dlu->X(100);
    const int top = m_dlu->Y(92);
    m_bits = new CBitSelection(this);
    m_bits->Create(QRect(QPoint(left, top + 27), QPoint(m_dlu->X(223), top + 81)), this);
    m_bits->SetCommandId(kIdBitSelection);
    m_bits->hide();
    m_controls[kIdBitSelection] = m_bits;
    m_bits->setObjectName(QStringLiteral("id%1").arg(kIdBitSelection));
    connect(m_bits, &CBitSelection::command, this, [this](int) { OnBitCommand(); });
}

void CDlgSelection::FillStreamList()
{
    QListWidget* list = ControlAs<QListWidget>(kIdStreamList);
    list->clear();
    std::vector<std::string> names;
    std::vector<std::string> kinds;
    ListStreams(names);
    ListStreamKinds(kinds);
    for (size_t i = 0; i < names.size() && i < kinds.size(); ++i) {
        bool wanted = false;
        for (const std::string& kind : m_formatStreamKinds)
            wanted = wanted || kind == kinds[i];
        if (!wanted)
            continue;
        const QString text = FromAnsi(names[i]);
        QListWidgetItem* item = new QListWidgetItem(text);
        item->setData(Qt::UserRole, QByteArray::fromStdString(names[i]));
        list->insertItem(SortedRow(*list, text), item);
    }
    m_currentStream.clear();
    if (list->count() > 0) {
        const QSignalBlocker blocker(list);
        list->setCurrentRow(0);
        m_currentStream = list->item(0)->data(Qt::UserRole).toByteArray().toStdString();
    }
    SetUpPanelsForStream();
    UpdatePanelAvailability();
}

void CDlgSelection::OpenAnimation()
{
    std::string folder = AnimationFolder().empty() ? FolderOf(GetModuleFileName()) : AnimationFolder();
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    const std::string path = folder + kAnimationFile;
    if (!m_animation->Open(FromPath(path)))
        ShowMessage(QStringLiteral("Can not find %1").arg(FromPath(path)));
}

void CDlgSelection::SetSweepRange(unsigned count)
{
    m_converter->SetSweepRange(1, count);
    const int upper = static_cast<int>(std::min<unsigned>(count, 0x7FFFFFFF));
    for (int id : {kIdStartSpin, kIdStopSpin})
        ControlAs<CUpDown>(id)->SetRange(1, upper);
    ControlAs<CUpDown>(kIdStartSpin)->SetPos(1);
    ControlAs<CUpDown>(kIdStopSpin)->SetPos(upper);
}

void CDlgSelection::ShowSweepControls(bool show)
{
    Control(kIdSweepHeader)->hide();
    for (int id : {kIdSweepGroup, kIdSweepStart, kIdSweepStop, kIdStartSpin, kIdStopSpin,
                   kIdStartLabel, kIdStopLabel})
        Control(id)->setVisible(show);
}

void CDlgSelection::LoadControls()
{
    const ConvertOptions& o = m_converter->Options();
    const auto set = [this](int id, bool on) { ControlAs<QCheckBox>(id)->setChecked(on); };
    set(kIdAssumeSplitted, m_assumeSplittedFile);
    set(kIdSingleOutfile, m_singleOutfile);
    set(kIdBaseIsPressedStart, m_baseIsPressedStart);
    set(kIdSingleFile, m_converter->GetSingleOutput());
    set(kIdSweepHeader, o.SweepHeader);
    set(kIdInitialValues, o.DigitalEventInitialValue);
    set(kIdCommentChar, o.CommentChar);
    set(kIdWriteHeader, o.WriteHeader);
    set(kIdSigned, o.ToSigned);
    ControlAs<QLineEdit>(kIdCommentText)->setText(FromAnsi(o.CommentCharText));
    ControlAs<CFilenameEdit>(kIdInputName)->SetPath(FromPath(m_converter->GetInputName()));
    ControlAs<CFilenameEdit>(kIdOutputName)->SetPath(FromPath(m_converter->GetOutputName()));
    if (!IsMultiFile()) {
        ControlAs<QLineEdit>(kIdSweepStart)->setText(QString::number(m_converter->GetFirstSweep()));
        ControlAs<QLineEdit>(kIdSweepStop)->setText(QString::number(m_converter->GetLastSweep()));
    }
}

bool CDlgSelection::ReadControls(bool sweeps)
{
    ConvertOptions& o = m_converter->Options();
    const auto get = [this](int id) { return ControlAs<QCheckBox>(id)->isChecked() ? 1 : 0; };
    m_assumeSplittedFile = get(kIdAssumeSplitted);
    m_singleOutfile = get(kIdSingleOutfile);
    m_baseIsPressedStart = get(kIdBaseIsPressedStart);
    m_converter->SetSingleOutput(get(kIdSingleFile) != 0);
    o.SweepHeader = get(kIdSweepHeader);
    o.DigitalEventInitialValue = get(kIdInitialValues);
    o.CommentChar = get(kIdCommentChar);
    o.WriteHeader = get(kIdWriteHeader);
    o.ToSigned = get(kIdSigned);
    o.CommentCharText = ToAnsi(ControlAs<QLineEdit>(kIdCommentText)->text());
    if (!sweeps || IsMultiFile() || Map().GetRecordingKind() == kRecordingContinuous)
        return true;
    // The sweep range: 1 <= first <= last <= the sweep count.
    unsigned first = 0;
    unsigned last = 0;
    const unsigned count = static_cast<unsigned>(ControlAs<CUpDown>(kIdStartSpin)->Upper());
    const bool firstOk = ParseUnsigned(ControlAs<QLineEdit>(kIdSweepStart)->text(), first);
    const bool lastOk = ParseUnsigned(ControlAs<QLineEdit>(kIdSweepStop)->text(), last);
    if (!firstOk || first == 0 || first > count || (lastOk && first > last)) {
        ShowMessage(QStringLiteral("Incorrect Sweep Start value."));
        return false;
    }
    if (!lastOk || last == 0 || last > count || last < first) {
        ShowMessage(QStringLiteral("Incorrect Sweep Stop value."));
        return false;
    }
    m_converter->SetSweepRange(first, last);
    return true;
}

void CDlgSelection::ArmSweepCheck(int field)
{
    // One timer for both fields: typing in one replaces a pending check of the other.
    m_sweepTimer->stop();
    m_sweepTimerField = field;
    m_sweepTimer->start(kSweepCheckDelayMs);
}

void CDlgSelection::CheckSweepField()
{
    m_sweepTimer->stop();
    const bool start = m_sweepTimerField == kIdSweepStart;
    unsigned value = 0;
    const unsigned count = static_cast<unsigned>(ControlAs<CUpDown>(kIdStartSpin)->Upper());
    const bool ok = ParseUnsigned(ControlAs<QLineEdit>(m_sweepTimerField)->text(), value);
    const unsigned first = m_converter->GetFirstSweep();
    const unsigned last = m_converter->GetLastSweep();
    if (start) {
        if (!ok || value == 0 || value > count || value > last) {
            ShowMessage(QStringLiteral("Incorrect Sweep Start value."));
            ControlAs<QLineEdit>(kIdSweepStart)->setText(QString::number(first));
            return;
        }
        m_converter->SetSweepRange(value, last);
    } else {
        if (!ok || value == 0 || value > count || value < first) {
            ShowMessage(QStringLiteral("Incorrect Sweep Stop value."));
            ControlAs<QLineEdit>(kIdSweepStop)->setText(QString::number(last));
            return;
        }
        m_converter->SetSweepRange(first, value);
    }
}

bool CDlgSelection::HasOneOutput() const
{
    return !IsMultiFile()
           || !CExportDriver::OpensEachOutput(m_singleOutfile != 0, m_converter->GetSingleOutput(),
                                              m_assumeSplittedFile != 0);
}

void CDlgSelection::UpdateOutputControls()
{
    if (HasOneOutput()) {
        SetBrowseCaption(QStringLiteral("Browse"));
        if (IsMultiFile())
            FillFileLists();
        Control(kIdOutputName)->show();
        Control(kIdOutputList)->hide();
    } else {
        SetBrowseCaption(QStringLiteral("Browse path"));
        Control(kIdOutputName)->hide();
        Control(kIdOutputList)->show();
    }
    Control(kIdSingleOutfile)->setVisible(IsMultiFile() && m_converter->GetSingleOutput()
                                          && m_assumeSplittedFile);
}

void CDlgSelection::OnOutputOptionClicked()
{
    ReadControls(false);
    UpdateOutputControls();
}

void CDlgSelection::OnCommentCharClicked()
{
    ReadControls(false);
    Control(kIdCommentText)->setVisible(m_converter->Options().CommentChar != 0);
}

std::string CDlgSelection::GetOutputFolder() const
{
    const std::string documents =
        ToPath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    std::string input = m_converter->GetInputName();
    if (input.empty() && m_converter->GetDataSource())
        input = m_converter->GetDataSource()->GetPath();
    return ChooseOutputFolder(m_settings->GetString(SettingsKey::kSettings, SettingsKey::kWriteDirectory, ""),
                              m_settings->GetString(SettingsKey::kSettings, SettingsKey::kReadDirectory, ""),
                              input, documents);
}

std::string CDlgSelection::BuildOutputName() const
{
    return ExportOutputName(GetOutputFolder(), OutputPathKind::kFolder, m_converter->GetInputName(),
                            m_converter->GetFileExtension());
}

void CDlgSelection::FillFileLists()
{
    CFilenameListBox* inputs = ControlAs<CFilenameListBox>(kIdInputList);
    CFilenameListBox* outputs = ControlAs<CFilenameListBox>(kIdOutputList);
    inputs->clear();
    outputs->clear();
    const std::vector<CKVD*>* files = m_converter->GetFileList();
    if (!files)
        return;
    for (size_t i = 0; i < files->size(); ++i) {
        m_converter->SetInputName((*files)[i]->GetPath());
        const std::string output = BuildOutputName();
        if (i == 0) {
            m_converter->SetOutputName(output);
            ControlAs<CFilenameEdit>(kIdOutputName)->SetPath(FromPath(output));
            ControlAs<CFilenameEdit>(kIdInputName)->SetPath(FromPath((*files)[i]->GetPath()));
        }
        inputs->AddPath(FromPath((*files)[i]->GetPath()));
        outputs->AddPath(FromPath(output));
    }
}

void CDlgSelection::OnBrowse()
{
    if (IsMultiFile() && !HasOneOutput()) {
        CFolderDlg folder(this);
        folder.SetTitle(QStringLiteral("Choose save path"));
        // The chooser starts in the program's current folder.
        if (folder.DoModal() == 1) {
            m_settings->WriteString(SettingsKey::kSettings, SettingsKey::kWriteDirectory,
                                    ToPath(folder.GetPath()));
            FillFileLists();
        }
        return;
    }
    ReadControls(false);
    FileDialogRequest request;
    request.kind = FileDialogRequest::Save;
    request.folder = FromPath(FolderOf(m_converter->GetOutputName()));
    request.fileName = FromPath(m_converter->GetOutputName());
    request.filter = ConvertFilter(GetFileFilter());
    const QStringList chosen = RunFileDialog(this, request);
    if (chosen.isEmpty())
        return;
    std::string path = ToPath(chosen.front());
    const size_t slash = path.find_last_of('/');
    if (path.find('.', slash == std::string::npos ? 0 : slash + 1) == std::string::npos)
        path += std::string(".") + m_converter->GetFileExtension();
    // The file dialog leaves the overwrite question to us; a confirmed name is not asked again.
    if (OutputFileExists(path)
        && ShowMessage(FromPath(path) + QStringLiteral(" already exists.\nDo you want to replace it?"),
                       QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning)
               != QMessageBox::Yes)
        return;
    m_settings->WriteString(SettingsKey::kSettings, SettingsKey::kWriteDirectory, FolderOf(path));
    m_converter->SetOutputName(path);
    LoadControls();
    m_skipOverwriteCheck = true;
    m_confirmedOutputName = path;
}

bool CDlgSelection::RemoveSelectedChannel(const std::string& stream, const std::string& channel, int bit)
{
    return m_converter->RemoveSelectedChannel(stream, channel, bit);
}

void CDlgSelection::RemoveSelectionEntry(int index)
{
    if (CKVDataSelection* selection = m_converter->GetSelection())
        selection->RemoveAt(index);
}

void CDlgSelection::ClearSelection()
{
    if (CKVDataSelection* selection = m_converter->GetSelection())
        selection->RemoveAll();
}

void CDlgSelection::GetStreamChannelIds(const std::string& stream, std::vector<uint16_t>& ids) const
{
    Map().GetChannelIds(stream, ids);
}

int CDlgSelection::ListStreams(std::vector<std::string>& names) const
{
    names.clear();
    const CStreamChannelMap& map = Map();
    for (int i = 0; i < map.GetStreamCount(); ++i) {
        const CStreamChannelMap::CStream* stream = map.GetStream(i);
        names.push_back(stream->m_name);
        if (stream->m_kind == "digital")
            names.push_back(stream->m_name + " Event");
    }
    return map.GetStreamCount();
}

void CDlgSelection::ListStreamKinds(std::vector<std::string>& kinds) const
{
    kinds.clear();
    Map().GetStreamKinds(kinds);
}

void CDlgSelection::RefreshSelectionList()
{
    QListWidget* list = ControlAs<QListWidget>(kIdSelectionList);
    list->clear();
    const CKVDataSelection* selection = m_converter->GetSelection();
    for (int i = 0; selection && i < selection->GetCount(); ++i) {
        const CKVDataSelection::Entry& e = *selection->At(i);
        std::string line;
        if (e.bit < 0 && e.streamName.find("Trigger") != std::string::npos)
            line = e.streamName;
        else
            line = e.streamName.substr(0, 2) + "_" + e.channelName;
        if (e.bit >= 0) {
            char bit[16];
            std::snprintf(bit, sizeof bit, "_%02d", e.bit);
            line += bit;
        }
        list->addItem(FromAnsi(line));
    }
}

bool CDlgSelection::AddSelectionEntry(int index, const std::string& stream, const std::string& channel,
                                      int bit, int sampleRate)
{
    CKVDataSelection* selection = m_converter->GetSelection();
    if (!selection)
        return false;
    CKVDataSelection::Entry entry;
    entry.streamName = stream;
    entry.channelName = channel;
    entry.channelId = Map().GetChannelId(stream, channel);
    entry.bit = bit;
    entry.value = sampleRate;
    selection->Insert(std::clamp(index, 0, selection->GetCount()), std::move(entry));
    return true;
}

int CDlgSelection::GetSelectionCount() const
{
    const CKVDataSelection* selection = m_converter->GetSelection();
    return selection ? selection->GetCount() : 0;
}

bool CDlgSelection::CollectSelectedStreamNames(std::vector<std::string>& names) const
{
    return m_converter->CollectSelectedStreamNames(names);
}

void CDlgSelection::OnDelete()
{
    QListWidget* list = ControlAs<QListWidget>(kIdSelectionList);
    const int row = list->currentRow();
    if (row < 0 || !list->item(row)->isSelected()) {
        ShowMessage(QStringLiteral("Please select a channel"));
        return;
    }
    RemoveSelectionEntry(row);
    RefreshSelectionList();
    SyncPanelSelection();
    UpdatePanelAvailability();
}

void CDlgSelection::OnDeleteAll()
{
    ClearSelection();
    RefreshSelectionList();
    SyncPanelSelection();
    UpdatePanelAvailability();
}

void CDlgSelection::OnStreamChosen()
{
    QListWidget* list = ControlAs<QListWidget>(kIdStreamList);
    QListWidgetItem* item = list->currentItem();
    if (!item)
        return;
    m_currentStream = item->data(Qt::UserRole).toByteArray().toStdString();
    SetUpPanelsForStream();
    SyncPanelSelection();
    UpdatePanelAvailability();
}

void CDlgSelection::SaveSettings()
{
    ReadControls(false);
    ExportSettings settings;
    settings.SingleOutfile = m_singleOutfile;
    settings.AssumeSplittedFile = m_assumeSplittedFile;
    settings.BaseIsPressedStart = m_baseIsPressedStart;
    settings.SingleFile = m_converter->GetSingleOutput() ? 1 : 0;
    settings.Options = m_converter->Options();
    m_settings->WriteExportSettings(settings, Map().GetRecordingKind() != kRecordingContinuous,
                                    SplitFilesPermitted());
}

void CDlgSelection::reject()
{
    // The export runs on under the progress window: the dialog stays until it has ended.
    if (m_exporting)
        return;
    m_sweepTimer->stop();
    SaveSettings();
    QDialog::reject();
}
