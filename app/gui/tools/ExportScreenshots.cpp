// Draws the export dialogs over generated recordings, with the real button panels created
// through the COM registry, and writes the PNGs of the README into the folder given:
//   sondrel-export-screenshots OUTDIR CONTINUOUS.kvd TRIGGERED.kvd PART1.kvd PART2.kvd
// The settings folder (XDG_CONFIG_HOME) and the registry (SONDREL_COM_REGISTRY) come from the
// caller; message boxes are answered without showing.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFont>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/CSondrelDoc.h"
#include "app/gui/controls/CBitSelection.h"
#include "app/gui/dialogs/CDlgSelection.h"
#include "app/gui/dialogs/OCProgressDlg.h"
#include "app/gui/ExportCommand.h"
#include "app/gui/GuiMessages.h"
#include "platform/CMessageReporter.h"

namespace {

class CQuietReporter : public CMessageReporter
{
public:
    void Report(const std::string& text) override { std::fprintf(stderr, "message: %s\n", text.c_str()); }
};

QString g_out;
bool g_ok = true;

void Settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
}

void Save(const QPixmap& picture, const char* name)
{
    const QString path = QDir(g_out).filePath(name);
    if (!picture.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
        g_ok = false;
        return;
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
}

void ChooseStream(CDlgSelection& dlg, const char* name)
{
    QListWidget* list = dlg.ControlAs<QListWidget>(CDlgSelection::kIdStreamList);
    const QList<QListWidgetItem*> items = list->findItems(QString::fromLatin1(name), Qt::MatchExactly);
    if (!items.isEmpty())
        list->setCurrentItem(items.front());
}

// Clicks the panel buttons that read one of `names`, as the user would.
void ClickChannels(CDlgSelection& dlg, const QStringList& names)
{
    for (int p = 0; p < 2; ++p) {
        QWidget* panel = dlg.Panel(p).Window();
        if (!panel || !panel->isVisible())
            continue;
        for (QAbstractButton* button : panel->findChildren<QAbstractButton*>())
            if (button->isVisible() && names.contains(button->text().trimmed()))
                button->click();
    }
}

void Run(CSondrelDoc& doc, ExportFormat format, int split, const std::function<void(CDlgSelection&)>& drive)
{
    SetExportDialogHook([&](CDlgSelection& dlg) {
        if (!dlg.Initialize()) {
            g_ok = false;
            return;
        }
        dlg.show();
        Settle();
        drive(dlg);
        dlg.close();
    });
    RunExportCommand(format, doc, nullptr, split);
    SetExportDialogHook({});
}

bool Open(CSondrelDoc& doc, const std::vector<std::string>& paths)
{
    if (paths.size() == 1)
        return doc.OnOpenDocument(paths[0].c_str());
    doc.GetPathList() = paths;
    return doc.OnOpenDocument(nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s OUTDIR CONTINUOUS.kvd TRIGGERED.kvd PART1.kvd PART2.kvd\n", argv[0]);
        return 1;
    }
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    setlocale(LC_NUMERIC, "C");
    QApplication::setFont(QFont("Liberation Sans", 9));
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);
    const std::string continuous = argv[2];
    const std::string triggered = argv[3];
    const std::vector<std::string> parts = {argv[4], argv[5]};
    SetMessageHook([](const QString& text, QMessageBox::StandardButtons buttons) {
        std::fprintf(stderr, "message: %s\n", text.toLocal8Bit().constData());
        return int(buttons & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Ok);
    });
    CQuietReporter reporter;
    const QStringList some = {"12", "13", "21", "22", "23", "31"};

    {
        CSondrelDoc doc(reporter);
        if (!Open(doc, {continuous}))
            return 1;
        Run(doc, ExportFormat::Abf, 0, [&](CDlgSelection& dlg) {
            ChooseStream(dlg, "Electrode Raw Data");
            ClickChannels(dlg, {"12", "13", "14", "15"});
            Settle();
            Save(dlg.grab(), "export-abf.png");
        });
        Run(doc, ExportFormat::Bin, 0, [&](CDlgSelection& dlg) {
            ChooseStream(dlg, "Electrode Raw Data");
            ClickChannels(dlg, some);
            if (auto* header = dlg.ControlAs<QCheckBox>(CDlgSelection::kIdWriteHeader))
                header->setChecked(true);
            Settle();
            Save(dlg.grab(), "export-binary.png");
            // The panels with a selection, as the user sees them.
            QRect area = dlg.Panel(0).Window()->geometry();
            if (dlg.Panel(1).Window()->isVisible())
                area = area.united(dlg.Panel(1).Window()->geometry());
            Save(dlg.grab(area.adjusted(-8, -8, 8, 8)), "export-panels.png");

            // Mid-export: the dialog with its progress window over it, once the bar has moved.
            bool taken = false;
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, [&] {
                OCProgressDlg* progress = dlg.findChild<OCProgressDlg*>();
                if (taken || !progress || progress->GetPos() < 20)
                    return;
                taken = true;
                QPixmap picture = dlg.grab();
                QPainter painter(&picture);
                const QPoint at = dlg.mapFromGlobal(progress->mapToGlobal(QPoint(0, 0)));
                const QPixmap window = progress->grab();
                painter.drawPixmap(at, window);
                // The window manager's frame is missing offscreen: a plain border stands in.
                painter.setPen(QColor(90, 90, 90));
                painter.drawRect(QRect(at, window.size()).adjusted(-1, -1, 0, 0));
                painter.end();
                Save(picture, "export-progress.png");
            });
            poll.start(5);
            dlg.Control(CDlgSelection::kIdSave)->setFocus();
            qobject_cast<QAbstractButton*>(dlg.Control(CDlgSelection::kIdSave))->click();
            poll.stop();
            if (!taken) {
                std::fprintf(stderr, "the export ended before its progress could be drawn\n");
                g_ok = false;
            }
        });
    }
    {
        CSondrelDoc doc(reporter);
        if (!Open(doc, {triggered}))
            return 1;
        Run(doc, ExportFormat::Ascii, 0, [&](CDlgSelection& dlg) {
            ChooseStream(dlg, "Digital Data");
            if (auto* bits = dlg.ControlAs<CBitSelection>(CDlgSelection::kIdBitSelection)) {
                bits->Button(0)->click();
                bits->Button(3)->click();
            }
            ChooseStream(dlg, "Electrode Raw Data");
            ClickChannels(dlg, some);
            Settle();
            Save(dlg.grab(), "export-text.png");
        });
    }
    {
        CSondrelDoc doc(reporter);
        if (!Open(doc, parts))
            return 1;
        Run(doc, ExportFormat::Ascii, doc.GetCanMerge() & 2, [&](CDlgSelection& dlg) {
            ChooseStream(dlg, "Electrode Raw Data");
            ClickChannels(dlg, {"12", "13"});
            Settle();
            Save(dlg.grab(), "export-text-multi.png");
        });
    }
    SetMessageHook({});
    return g_ok ? 0 : 1;
}
