// A Qt generic plugin that drives the built windowed program as a user would, from inside it:
// once the main window shows, it chooses each export command of the Tools menu, looks at the
// dialog that opens (or the message that comes instead), writes one line about it to standard
// output and closes it; then it closes the main window. Loaded through QT_PLUGIN_PATH and
// QT_QPA_GENERIC_PLUGINS=sondrel-export-dialogs, so the program runs unchanged.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QGenericPlugin>
#include <QListWidget>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

// The Tools menu's export commands, as the menu shows them.
const char* const kExportCommands[] = {"Convert KVD to &ASCII", "Convert KVD to AB&F",
                                       "Convert KVD to &BIN"};
constexpr int kPollMs = 50;
constexpr int kGiveUpMs = 90000;

void Say(const QString& line)
{
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

QMainWindow* MainWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<QMainWindow*>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

QAction* FindCommand(QMainWindow* window, const char* text)
{
    for (QAction* action : window->findChildren<QAction*>())
        if (action->text() == QLatin1String(text))
            return action;
    return nullptr;
}

// Picks the stream in the dialog's stream list, as a click on it would.
bool ChooseStream(QDialog* dialog, const QString& stream)
{
    for (QListWidget* list : dialog->findChildren<QListWidget*>()) {
        const QList<QListWidgetItem*> items = list->findItems(stream, Qt::MatchExactly);
        if (!items.isEmpty()) {
            list->setCurrentItem(items.front());
            return true;
        }
    }
    return false;
}

// "dialog <title>: <n> panels, electrodes on <m> buttons" (the channel buttons shown, not the
// title's); closes the dialog.
void ReportDialog(QDialog* dialog)
{
    // The control's windows, found by their class: the dialog names them by child id.
    QList<QWidget*> panels;
    for (QWidget* child : dialog->findChildren<QWidget*>())
        if (child->inherits("CKeyrowWidget"))
            panels << child;
    const bool chosen = ChooseStream(dialog, QStringLiteral("Electrode Raw Data"));
    QApplication::processEvents();
    int buttons = 0;
    for (QWidget* panel : panels)
        for (QAbstractButton* button : panel->findChildren<QAbstractButton*>())
            buttons += button->isVisible()
                       && button->objectName().startsWith(QLatin1String("KeyrowButton")) ? 1 : 0;
    Say(QStringLiteral("dialog %1: %2 panels, %3 on %4 buttons")
            .arg(dialog->windowTitle())
            .arg(panels.size())
            .arg(chosen ? QStringLiteral("electrodes") : QStringLiteral("no stream"))
            .arg(buttons));
    dialog->reject();
}

class CExportDialogDriver : public QObject
{
public:
    CExportDialogDriver()
    {
        QTimer::singleShot(kGiveUpMs, this, [] {
            Say(QStringLiteral("gave up waiting"));
            std::_Exit(3);
        });
        QTimer::singleShot(0, this, [this] { Start(); });
    }

private:
    void Start()
    {
        QMainWindow* window = MainWindow();
        if (!window) {
            QTimer::singleShot(kPollMs, this, [this] { Start(); });
            return;
        }
        for (const char* text : kExportCommands) {
            QAction* command = FindCommand(window, text);
            if (!command || !command->isEnabled()) {
                Say(QStringLiteral("command %1: %2").arg(QLatin1String(text),
                                                         command ? "disabled" : "missing"));
                continue;
            }
            // The command runs its dialog modally: the look happens from inside it.
            QTimer::singleShot(kPollMs, this, [this] { LookAtModal(); });
            command->trigger();
        }
        Say(QStringLiteral("done"));
        window->close();
    }

    void LookAtModal()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            Say(QStringLiteral("message: %1").arg(box->text()));
            box->accept();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            ReportDialog(dialog);
        } else {
            QTimer::singleShot(kPollMs, this, [this] { LookAtModal(); });
        }
    }
};

} // namespace

class CExportDialogDriverPlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "ExportDialogDriver.json")
public:
    QObject* create(const QString& /*key*/, const QString& /*parameters*/) override
    {
        return new CExportDialogDriver;
    }
};

#include "ExportDialogDriver.moc"
