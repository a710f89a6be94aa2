#include "tests/app/gui/dialogs/ExportDialogScene.h"

#include <sys/wait.h>

#include <QAbstractButton>
#include <QListWidget>
#include <QTest>

#include "app/gui/dialogs/CDlgSelection.h"
#include "app/gui/FileDialogs.h"
#include "app/gui/GuiMessages.h"
#include "platform/CByteWriter.h"
#include "res/tools/AviWriter.h"

namespace {

constexpr size_t kHeaderAt = 48;   // the header record follows the container's chunk heads

void PutU16(std::vector<uint8_t>& b, size_t at, uint16_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

} // namespace

bool WriteRecording(const KvdRecordingPlan& plan, const LayoutPlan& layout, const std::string& path)
{
    if (!WriteKvdRecording(plan, path))
        return false;
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    if (bytes.size() < kHeaderAt + 842)
        return false;
    const uint32_t kind = static_cast<uint32_t>(layout.kind);
    for (int i = 0; i < 4; ++i)
        bytes[kHeaderAt + 824 + i] = static_cast<uint8_t>(kind >> (8 * i));
    PutU16(bytes, kHeaderAt + 828, layout.electrodes);
    PutU16(bytes, kHeaderAt + 832, layout.analog);
    PutU16(bytes, kHeaderAt + 836, layout.digital);
    PutU16(bytes, kHeaderAt + 840, layout.total);
    return WriteFileBytes(path, bytes);
}

KvdRawStreamPlan ElectrodeStream(int channels)
{
    KvdRawStreamPlan s;
    s.channels.clear();
    for (int i = 1; i <= channels; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%02d", i);
        s.channels.push_back(name);
    }
    return s;
}

KvdRawStreamPlan DigitalStream()
{
    KvdRawStreamPlan s;
    s.type = "digital";
    s.name = "Digital Data";
    s.id = "digi0001";
    s.channels = {"D1"};
    s.adcZero = 0;
    return s;
}

ExportScene::ExportScene(bool fakePanels)
    : config("XDG_CONFIG_HOME", dir.File("config").c_str())
    , fakeSet(std::make_unique<FakeKeyrowSet>())
    , fakes(*fakeSet)
{
    if (!fakePanels)
        CKeyrowPanel::SetCreatorHook({});
    SetMessageHook([this](const QString& text, QMessageBox::StandardButtons buttons) {
        messages << text;
        if (buttons & QMessageBox::Yes)
            return answer ? answer(text) : int(QMessageBox::Yes);
        return int(QMessageBox::Ok);
    });
    SetFileDialogHook([this](const FileDialogRequest&) {
        if (fileAnswers.isEmpty())
            return QStringList();
        return QStringList{fileAnswers.takeFirst()};
    });
    CDlgSelection::SetExitHook([this](int status) { exitStatus = status; });
    // Our own animation beside the "program".
    AviAnimation a;
    a.width = a.height = 4;
    a.palette = {0xFFFFFF, 0x000000};
    a.frames = {std::vector<uint8_t>(16, 0), std::vector<uint8_t>(16, 1)};
    WriteAviFile(dir.File("ConvertAnimation.avi"), BuildAvi(a, true));
    CDlgSelection::SetAnimationFolder(dir.Path());
}

ExportScene::~ExportScene()
{
    SetMessageHook({});
    SetFileDialogHook({});
    SetExportDialogHook({});
    CDlgSelection::SetExitHook({});
    CDlgSelection::SetAnimationFolder("");
}

void ExportScene::Open(const std::vector<std::string>& paths)
{
    if (paths.size() == 1) {
        ASSERT_TRUE(doc.OnOpenDocument(paths[0].c_str()));
    } else {
        doc.GetPathList() = paths;
        ASSERT_TRUE(doc.OnOpenDocument(nullptr));
    }
}

void ExportScene::Run(ExportFormat format, const std::function<void(CDlgSelection&)>& drive,
                      int splitPermission)
{
    SetExportDialogHook([&](CDlgSelection& dlg) {
        if (!dlg.Initialize())
            return;
        dlg.show();
        QTest::qWait(1);
        drive(dlg);
        dlg.close();
    });
    RunExportCommand(format, doc, nullptr, splitPermission);
    SetExportDialogHook({});
}

QStringList ExportScene::TakeMessages()
{
    QStringList out;
    out.swap(messages);
    return out;
}

int RunConsole(const std::vector<std::string>& args, std::string* output)
{
    const auto quote = [](const std::string& text) {
        std::string quoted = "'";
        for (char c : text)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted + "'";
    };
    std::string command = quote(SONDREL_CONSOLE);
    for (const std::string& arg : args)
        command += " " + quote(arg);
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int wait = pclose(pipe);
    if (output)
        *output = out;
    return WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
}

void ClickControl(CDlgSelection& dlg, int id)
{
    QWidget* widget = dlg.Control(id);
    ASSERT_NE(widget, nullptr) << id;
    ASSERT_TRUE(widget->isVisible()) << id;
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, QPoint(4, widget->height() / 2));
}

void ChooseStream(CDlgSelection& dlg, const std::string& name)
{
    QListWidget* list = dlg.ControlAs<QListWidget>(CDlgSelection::kIdStreamList);
    const QList<QListWidgetItem*> items = list->findItems(QString::fromStdString(name), Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << name;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(items[0]).center());
}

std::vector<uint8_t> Bytes(const std::string& path)
{
    return ReadFileBytes(path);
}
