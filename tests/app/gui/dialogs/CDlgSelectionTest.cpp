// The export dialogs driven like a user: panels, selection, options, Save, Command Line; outputs
// compared with the console program's for the same options.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QTimer>

#include "app/gui/controls/CBitSelection.h"
#include "app/gui/controls/CUpDown.h"
#include "app/gui/dialogs/OCProgressDlg.h"
#include "com/SafeArray.h"
#include "export/binary/CConvertToBIN.h"
#include "export/model/CKVD.h"
#include "keyrow/core/KeyrowIds.h"
#include "tests/app/gui/dialogs/ExportDialogScene.h"

namespace {

using Id = CDlgSelection;

KvdRecordingPlan Continuous(int electrodes)
{
    KvdRecordingPlan plan;
    plan.streams = {ElectrodeStream(electrodes), DigitalStream()};
    return plan;
}

LayoutPlan Plain(int electrodes)
{
    LayoutPlan l;
    l.electrodes = static_cast<uint16_t>(electrodes);
    l.total = static_cast<uint16_t>(electrodes);
    return l;
}

QStringList Lines(CDlgSelection& dlg, int id)
{
    QStringList lines;
    QListWidget* list = dlg.ControlAs<QListWidget>(id);
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

bool Contains(const std::vector<std::string>& log, const std::string& call)
{
    return std::find(log.begin(), log.end(), call) != log.end();
}

// Runs the sweep field check that typing armed now instead of after its delay: the dialog's own
// single-shot timer (its only timer) is fired and waited for. False when typing armed none.
bool RunArmedSweepCheck(CDlgSelection& dlg)
{
    const QList<QTimer*> timers = dlg.findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
    if (timers.size() != 1 || !timers.front()->isActive())
        return false;
    QTimer* timer = timers.front();
    timer->start(0);
    return QTest::qWaitFor([timer] { return !timer->isActive(); }, 5000);
}

// The fonts of a Debian desktop that are installed here, at the sizes desktops use, and the
// program's own.
std::vector<QFont> DesktopFonts()
{
    std::vector<QFont> fonts = {QApplication::font()};
    const QStringList installed = QFontDatabase::families();
    for (const char* family : {"DejaVu Sans", "Liberation Sans", "Noto Sans", "Cantarell"}) {
        if (!installed.contains(QString::fromLatin1(family)))
            continue;
        for (int points : {8, 9, 10, 11, 12})
            fonts.emplace_back(QString::fromLatin1(family), points);
    }
    return fonts;
}

// The line of a frame and its title, where the style draws them, in the dialog's coordinates.
std::pair<QRect, QRect> FrameLineAndTitle(QGroupBox* box)
{
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const auto part = [&](QStyle::SubControl sc) {
        return box->style()->subControlRect(QStyle::CC_GroupBox, &option, sc, box).translated(box->pos());
    };
    return {part(QStyle::SC_GroupBoxFrame), part(QStyle::SC_GroupBoxLabel)};
}

QString Describe(QWidget* w)
{
    QString text = w->objectName();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        text += " '" + button->text() + "'";
    if (auto* label = qobject_cast<QLabel*>(w))
        text += " '" + label->text() + "'";
    return text;
}

// The size a control's text needs to show whole (0 where it has none to show).
QSize TextNeeds(QWidget* w)
{
    if (auto* check = qobject_cast<QCheckBox*>(w))
        return QSize(check->sizeHint().width(), 0);
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return QSize(button->fontMetrics().horizontalAdvance(button->text()) + 4, 0);
    if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty())
        return QSize(label->sizeHint().width(), label->fontMetrics().height());
    return QSize(0, 0);
}

// What a person sees wrong in the dialog as it stands, one line per fault: a text cut off, two
// controls on each other, a control across a frame's line or its title, or past the dialog.
std::string LayoutFaults(CDlgSelection& dlg)
{
    std::vector<QWidget*> controls;
    std::vector<std::pair<QRect, QRect>> frames;
    for (QWidget* w : dlg.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        // The panels size themselves; windows (the progress) are no part of the layout.
        if (!w->isVisible() || w->isWindow() || w == dlg.Panel(0).Window() || w == dlg.Panel(1).Window())
            continue;
        if (auto* box = qobject_cast<QGroupBox*>(w))
            frames.push_back(FrameLineAndTitle(box));
        else
            controls.push_back(w);
    }
    QStringList faults;
    for (QWidget* w : controls) {
        const QSize need = TextNeeds(w);
        if (need.width() > w->width() || need.height() > w->height())
            faults << QStringLiteral("cut: %1 needs %2x%3, has %4x%5").arg(Describe(w)).arg(need.width())
                          .arg(need.height()).arg(w->width()).arg(w->height());
        if (!dlg.rect().contains(w->geometry()))
            faults << "outside: " + Describe(w);
    }
    for (size_t i = 0; i < controls.size(); ++i)
        for (size_t j = i + 1; j < controls.size(); ++j)
            if (controls[i]->geometry().intersects(controls[j]->geometry()))
                faults << "overlap: " + Describe(controls[i]) + ", " + Describe(controls[j]);
    for (const auto& [line, title] : frames) {
        for (QWidget* w : controls) {
            const QRect r = w->geometry();
            const bool inside = r.left() > line.left() && r.right() < line.right() && r.top() > line.top()
                                && r.bottom() < line.bottom();
            if ((r.intersects(line) && !inside) || r.intersects(title))
                faults << "frame: " + Describe(w);
        }
    }
    return faults.join("\n").toStdString();
}

} // namespace

TEST(CDlgSelection, PanelsFollowThePlainLayoutAndAddWhatIsClicked)
{
    ExportScene scene;
    ASSERT_TRUE(WriteRecording(Continuous(6), Plain(6), scene.File("rec.kvd")));
    scene.Open({scene.File("rec.kvd")});
    scene.Run(ExportFormat::Ascii, [&](CDlgSelection& dlg) {
        // The sorted stream list, with the digital stream's event twin in the text dialog.
        EXPECT_EQ(Lines(dlg, Id::kIdStreamList),
                  QStringList({"Digital Data", "Digital Data Event", "Electrode Raw Data"}));
        const std::vector<std::string> init = scene.fakes.Take();
        // The first stream is digital: bits on the selection, both panels set for its channel.
        EXPECT_TRUE(dlg.Control(Id::kIdBitSelection)->isVisible());
        EXPECT_FALSE(dlg.Control(Id::kIdInitialValues)->isVisible());
        ChooseStream(dlg, "Electrode Raw Data");
        EXPECT_FALSE(dlg.Control(Id::kIdBitSelection)->isVisible());
        EXPECT_EQ(scene.fakes.Take(), std::vector<std::string>({
            "1173: SetTitleType(1)", "1173: SetTitle('',0)", "1174: SetTitleType(1)", "1174: SetTitle('',0)",
            "1173: SetTitle(' All ',0)", "1173: SelectionMode=0", "1173: InitializeButtonsV(names[6] 01,0,0,0,6)",
            "1173: GetBoundingSize", "1173: SetExistingChannelsV([0,1,2,3,4,5])",
            "1173: SetSelectedChannelsV([],0)",
            "1173: SetSelectedChannelsV([],0)", "1174: SetSelectedChannelsV([],0)",
            "1173: EnableControl(1)", "1174: EnableControl(1)"}));
        EXPECT_TRUE(dlg.Panel(0).Window()->isVisible());
        EXPECT_FALSE(dlg.Panel(1).Window()->isVisible());
        EXPECT_EQ(dlg.Panel(0).Window()->size(), QSize(160, 120));

        scene.fakes.Panel(0).Click(true, 1);
        scene.fakes.Panel(0).ClickAll(true, {3, 4, 5});
        EXPECT_EQ(Lines(dlg, Id::kIdSelectionList), QStringList({"El_02", "El_04", "El_05", "El_06"}));
        // The all-button again: the listed channels go and come back at the end, in order.
        scene.fakes.Panel(0).ClickAll(true, {4, 1});
        EXPECT_EQ(Lines(dlg, Id::kIdSelectionList), QStringList({"El_04", "El_06", "El_05", "El_02"}));
        scene.fakes.Panel(0).Click(false, 3);
        scene.fakes.Panel(0).ClickAll(false, {5});
        EXPECT_EQ(Lines(dlg, Id::kIdSelectionList), QStringList({"El_05", "El_02"}));

        // Events that carry no channel of the layout, or a list of the wrong form, change nothing.
        scene.fakes.Panel(0).Click(true, 200);
        scene.fakes.Panel(0).Click(true, -3);
        DispParams wrong;
        wrong.args.push_back(Variant::Bool(true));
        SafeArray* twoDims = SafeArray::Create(VT_UI2, {{0, 2}, {0, 2}});
        Variant array = Variant::Array(twoDims);
        wrong.args.push_back(Variant::ByRef(&array));
        scene.fakes.Panel(0).Fire(kEvtFireAllClickedV, wrong);
        DispParams i4s;
        i4s.args.push_back(Variant::Bool(true));
        Variant longs = Variant::Array(SafeArray::CreateVector(VT_I4, 0, 2));
        i4s.args.push_back(Variant::ByRef(&longs));
        scene.fakes.Panel(0).Fire(kEvtFireAllClickedV, i4s);
        DispParams none;
        scene.fakes.Panel(0).Fire(kEvtButtonClicked, none);
        EXPECT_EQ(Lines(dlg, Id::kIdSelectionList), QStringList({"El_05", "El_02"}));

        // Bits of the digital stream: "%s_%s_%02d".
        ChooseStream(dlg, "Digital Data");
        EXPECT_TRUE(Contains(scene.fakes.Take(), "1173: EnableControl(1)"));
        CBitSelection* bits = dlg.ControlAs<CBitSelection>(Id::kIdBitSelection);
        ASSERT_NE(bits, nullptr);
        QTest::mouseClick(bits->Button(3), Qt::LeftButton);
        EXPECT_EQ(Lines(dlg, Id::kIdSelectionList), QStringList({"El_05", "El_02", "Di_D1_03"}));
        EXPECT_TRUE(scene.TakeMessages().isEmpty());

        // Delete without a marked line, then with one.
        ClickControl(dlg, Id::kIdDelete);
        EXPECT_EQ(scene.TakeMessages(), QStringList{"Please select a channel"});
        dlg.ControlAs<QListWidget>(Id::kIdSelectionList)->setCurrentRow(0);
        ClickControl(dlg, Id::kIdDelete);
        EXPECT_EQ(Lines(dlg, Id::kIdSelectionList), QStringList({"El_02", "Di_D1_03"}));
        // Another rate kind mixed in: digital data and electrode data are both raw, so the
        // panels stay enabled.
        EXPECT_TRUE(scene.fakes.Panel(0).Enabled());
        ClickControl(dlg, Id::kIdDeleteAll);
        EXPECT_TRUE(Lines(dlg, Id::kIdSelectionList).isEmpty());
        EXPECT_FALSE(bits->GetCheck(3));
    });
    // The command empties the document's selection after the dialog.
    EXPECT_EQ(scene.doc.GetSelection().GetCount(), 0);
}

TEST(CDlgSelection, DoubleArrayShowsTwoPanelsOf64)
{
    ExportScene scene;
    KvdRecordingPlan plan;
    plan.streams = {ElectrodeStream(8)};
    LayoutPlan layout;
    layout.kind = 2;
    layout.electrodes = 120;
    layout.analog = 7;
    layout.digital = 1;
    layout.total = 128;
    ASSERT_TRUE(WriteRecording(plan, layout, scene.File("mea.kvd")));
    scene.Open({scene.File("mea.kvd")});
    scene.Run(ExportFormat::Bin, [&](CDlgSelection& dlg) {
        const std::vector<std::string> log = scene.fakes.Take();
        for (const char* call : {"1173: SetTitle('MEA A',0)", "1174: SetTitle('MEA B',0)",
                                 "1174: SelectionMode=0", "1174: SetExistingChannelsV([0,1,2,3,4,5,6,7])"})
            EXPECT_TRUE(Contains(log, call)) << call;
        bool first = false;
        bool second = false;
        for (const std::string& call : log) {
            first = first || (call.rfind("1173: InitializeButtonsV(names[128] ", 0) == 0
                              && call.find(",2,0,0,64)") != std::string::npos);
            second = second || (call.rfind("1174: InitializeButtonsV(names[128] ", 0) == 0
                                && call.find(",2,0,64,64)") != std::string::npos);
        }
        EXPECT_TRUE(first);
        EXPECT_TRUE(second);
        EXPECT_TRUE(dlg.Panel(0).Window()->isVisible());
        EXPECT_TRUE(dlg.Panel(1).Window()->isVisible());
    });
}

TEST(CDlgSelection, AbfTakesAtMostSixteenChannels)
{
    ExportScene scene;
    ASSERT_TRUE(WriteRecording(Continuous(20), Plain(20), scene.File("rec.kvd")));
    scene.Open({scene.File("rec.kvd")});
    scene.Run(ExportFormat::Abf, [&](CDlgSelection& dlg) {
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Converting to Axon Binary File"));
        EXPECT_FALSE(dlg.Control(Id::kIdCommandLine)->isVisible());
        EXPECT_EQ(dlg.Control(1128), nullptr);   // no trigger stream, no tags
        ChooseStream(dlg, "Electrode Raw Data");
        std::vector<uint16_t> all;
        for (uint16_t h = 0; h < 18; ++h)
            all.push_back(h);
        scene.fakes.Take();
        scene.fakes.Panel(0).ClickAll(true, all);
        EXPECT_EQ(dlg.ControlAs<QListWidget>(Id::kIdSelectionList)->count(), 16);
        EXPECT_EQ(scene.TakeMessages(), QStringList{"Maximum number of channels for this format reached!"});
        // The panels are told the sixteen that were taken.
        EXPECT_EQ(scene.fakes.Panel(0).Selected().size(), 16u);
        scene.fakes.Panel(0).Click(true, 19);
        EXPECT_EQ(scene.TakeMessages(), QStringList{"Maximum number of channels for this format reached!"});
        EXPECT_EQ(scene.fakes.Panel(0).Selected().size(), 16u);
    });
}

TEST(CDlgSelection, MissingOrOldControlEndsTheProgram)
{
    struct Case
    {
        const char* name;
        bool registered;
        uint16_t major, minor;
        const char* message;
    };
    const Case cases[] = {
        {"not registered", false, 1, 1, "KeyrowOcx is not registered, please reinstall Sondrel"},
        {"version 1.0", true, 1, 0, "Registered version of KeyrowOcx: 1.0\nYou need a version >= 1.1\nPlease reinstall Sondrel"},
        {"version 2.3", true, 2, 3, "Registered version of KeyrowOcx: 2.3\nYou need a version 1.x\nPlease reinstall Sondrel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExportScene scene;
        ASSERT_TRUE(WriteRecording(Continuous(2), Plain(2), scene.File("rec.kvd")));
        scene.Open({scene.File("rec.kvd")});
        scene.fakes.registered = c.registered;
        scene.fakes.major = c.major;
        scene.fakes.minor = c.minor;
        bool driven = false;
        scene.Run(ExportFormat::Ascii, [&](CDlgSelection&) { driven = true; });
        EXPECT_FALSE(driven);
        EXPECT_EQ(scene.exitStatus, 1);
        EXPECT_EQ(scene.TakeMessages(), QStringList{QString::fromLatin1(c.message)});
    }
}

TEST(CDlgSelection, AFailingPanelCallShowsAMessageAndTheDialogGoesOn)
{
    ExportScene scene;
    ASSERT_TRUE(WriteRecording(Continuous(3), Plain(3), scene.File("rec.kvd")));
    scene.Open({scene.File("rec.kvd")});
    scene.fakes.failing = kDispSetExistingChannelsV;
    scene.Run(ExportFormat::Bin, [&](CDlgSelection& dlg) {
        const QStringList messages = scene.TakeMessages();
        ASSERT_FALSE(messages.isEmpty());
        EXPECT_TRUE(messages.front().startsWith("The channel panel refused call 15"));
        scene.fakes.Panel(0).Click(true, 0);
        EXPECT_EQ(dlg.ControlAs<QListWidget>(Id::kIdSelectionList)->count(), 1);
    });
}

TEST(CDlgSelection, FormatDialogsShowTheirOwnControls)
{
    ExportScene scene;
    KvdRecordingPlan plan = Continuous(2);
    plan.triggered = true;
    ASSERT_TRUE(WriteRecording(plan, Plain(2), scene.File("rec.kvd")));
    scene.Open({scene.File("rec.kvd")});
    scene.Run(ExportFormat::Abf, [&](CDlgSelection& dlg) {
        // A trigger stream: the tags box one row below the base-time box, starting as the flag.
        QCheckBox* tags = dlg.ControlAs<QCheckBox>(1128);
        ASSERT_NE(tags, nullptr);
        EXPECT_TRUE(tags->isVisible());
        EXPECT_FALSE(tags->isChecked());
        EXPECT_GT(tags->y(), dlg.Control(Id::kIdBaseIsPressedStart)->y());
        EXPECT_EQ(Lines(dlg, Id::kIdStreamList), QStringList({"Digital Data", "Electrode Raw Data"}));
        EXPECT_TRUE(dlg.Control(Id::kIdSingleFile)->isVisible());
        EXPECT_FALSE(dlg.Control(Id::kIdSweepHeader)->isVisible());
        EXPECT_FALSE(dlg.Control(Id::kIdAssumeSplitted)->isEnabled());
    });
    scene.Run(ExportFormat::Ascii, [&](CDlgSelection& dlg) {
        EXPECT_EQ(Lines(dlg, Id::kIdStreamList),
                  QStringList({"Digital Data", "Digital Data Event", "Electrode Raw Data", "Trigger 1"}));
        EXPECT_TRUE(dlg.Control(Id::kIdSweepHeader)->isVisible());
        EXPECT_TRUE(dlg.Control(Id::kIdCommentChar)->isVisible());
        EXPECT_FALSE(dlg.Control(Id::kIdSigned)->isVisible());
        EXPECT_FALSE(dlg.Control(Id::kIdWriteHeader)->isVisible());
        ChooseStream(dlg, "Trigger 1");
        EXPECT_TRUE(dlg.Control(Id::kIdTrigger)->isVisible());
        EXPECT_FALSE(dlg.Panel(0).Window()->isVisible());
        ClickControl(dlg, Id::kIdTrigger);
        EXPECT_EQ(Lines(dlg, Id::kIdSelectionList), QStringList{"Trigger 1"});
        ChooseStream(dlg, "Digital Data Event");
        EXPECT_TRUE(dlg.Control(Id::kIdInitialValues)->isVisible());
    });
    scene.Run(ExportFormat::Bin, [&](CDlgSelection& dlg) {
        EXPECT_TRUE(dlg.Control(Id::kIdWriteHeader)->isVisible());
        EXPECT_TRUE(dlg.Control(Id::kIdSigned)->isVisible());
        EXPECT_FALSE(dlg.Control(Id::kIdCommentChar)->isVisible());
        EXPECT_FALSE(dlg.Control(Id::kIdBaseIsPressedStart)->isVisible());
        EXPECT_FALSE(dlg.Control(Id::kIdSweepHeader)->isVisible());
        EXPECT_TRUE(dlg.Control(Id::kIdCommandLine)->isVisible());
    });
    EXPECT_TRUE(scene.TakeMessages().isEmpty());
}

TEST(CDlgSelection, SweepFieldsAreCheckedAfterTyping)
{
    ExportScene scene;
    KvdRecordingPlan plan = Continuous(2);
    plan.triggered = true;
    plan.sweeps = 4;
    ASSERT_TRUE(WriteRecording(plan, Plain(2), scene.File("rec.kvd")));
    scene.Open({scene.File("rec.kvd")});
    scene.Run(ExportFormat::Bin, [&](CDlgSelection& dlg) {
        QLineEdit* start = dlg.ControlAs<QLineEdit>(Id::kIdSweepStart);
        QLineEdit* stop = dlg.ControlAs<QLineEdit>(Id::kIdSweepStop);
        EXPECT_EQ(start->text(), "1");
        EXPECT_EQ(stop->text(), "4");
        const auto type = [](QLineEdit* edit, const char* text) {
            edit->selectAll();
            QTest::keyClicks(edit, text);
        };
        const std::pair<const char*, std::pair<QLineEdit*, const char*>> refused[] = {
            {"Incorrect Sweep Start value.", {start, "0"}},
            {"Incorrect Sweep Start value.", {start, "5"}},
            {"Incorrect Sweep Stop value.", {stop, "9"}},
            {"Incorrect Sweep Stop value.", {stop, "x"}},
        };
        for (const auto& [message, typed] : refused) {
            SCOPED_TRACE(typed.second);
            type(typed.first, typed.second);
            EXPECT_TRUE(scene.TakeMessages().isEmpty());   // not while typing
            ASSERT_TRUE(RunArmedSweepCheck(dlg));
            EXPECT_EQ(scene.TakeMessages(), QStringList{message});
            EXPECT_EQ(typed.first->text(), typed.first == start ? "1" : "4");
        }
        // Start, then Stop within the delay: only Stop is checked.
        type(start, "0");
        type(stop, "3");
        ASSERT_TRUE(RunArmedSweepCheck(dlg));
        EXPECT_TRUE(scene.TakeMessages().isEmpty());
        EXPECT_EQ(start->text(), "0");
        // Save checks both fields again.
        ChooseStream(dlg, "Electrode Raw Data");
        scene.fakes.Panel(0).Click(true, 0);
        ClickControl(dlg, Id::kIdSave);
        EXPECT_EQ(scene.TakeMessages(), QStringList{"Incorrect Sweep Start value."});
    });
}

TEST(CDlgSelection, AStreamlessRecordingSavesNothing)
{
    ExportScene scene;
    KvdRecordingPlan plan;
    plan.streams = {};
    plan.triggered = true;
    ASSERT_TRUE(WriteRecording(plan, LayoutPlan(), scene.File("trig.kvd")));
    scene.Open({scene.File("trig.kvd")});
    scene.TakeMessages();
    scene.Run(ExportFormat::Bin, [&](CDlgSelection& dlg) {
        EXPECT_EQ(dlg.ControlAs<QListWidget>(Id::kIdStreamList)->count(), 0);
        EXPECT_FALSE(dlg.Panel(0).Window()->isVisible());
        EXPECT_FALSE(dlg.Panel(1).Window()->isVisible());
        ClickControl(dlg, Id::kIdSave);
        EXPECT_EQ(scene.TakeMessages(), QStringList{"No channels selected"});
    });
}

TEST(CDlgSelection, TheAnimationIsOptional)
{
    ExportScene scene;
    ASSERT_TRUE(WriteRecording(Continuous(2), Plain(2), scene.File("rec.kvd")));
    scene.Open({scene.File("rec.kvd")});
    CDlgSelection::SetAnimationFolder(scene.File("nowhere"));
    bool driven = false;
    scene.Run(ExportFormat::Bin, [&](CDlgSelection&) { driven = true; });
    EXPECT_TRUE(driven);
    EXPECT_EQ(scene.TakeMessages(),
              QStringList{QString::fromStdString("Can not find " + scene.File("nowhere/ConvertAnimation.avi"))});
}

TEST(CDlgSelection, EveryTextShowsWholeAndNothingOverlaps)
{
    ExportScene scene;
    KvdRecordingPlan plan = Continuous(4);
    plan.triggered = true;   // the sweep controls, and the ABF dialog's tags box
    for (const char* name : {"a.kvd", "b.kvd"})
        ASSERT_TRUE(WriteRecording(plan, Plain(4), scene.File(name)));
    const QFont programFont = QApplication::font();
    for (const QFont& font : DesktopFonts()) {
        SCOPED_TRACE(font.toString().toStdString());
        QApplication::setFont(font);
        std::map<ExportFormat, QRect> oneFileBrowse;
        scene.Open({scene.File("a.kvd")});
        for (ExportFormat format : {ExportFormat::Abf, ExportFormat::Ascii, ExportFormat::Bin}) {
            scene.Run(format, [&](CDlgSelection& dlg) {
                SCOPED_TRACE(dlg.windowTitle().toStdString() + ", one file");
                QListWidget* streams = dlg.ControlAs<QListWidget>(Id::kIdStreamList);
                for (int row = 0; row < streams->count(); ++row) {
                    SCOPED_TRACE(streams->item(row)->text().toStdString());
                    streams->setCurrentRow(row);
                    EXPECT_EQ(LayoutFaults(dlg), "");
                }
                oneFileBrowse[format] = dlg.Control(Id::kIdBrowse)->geometry();
                // The status line while the export runs.
                ChooseStream(dlg, "Electrode Raw Data");
                scene.fakes.Panel(0).Click(true, 0);
                bool checked = false;
                QTimer::singleShot(0, [&] {
                    EXPECT_FALSE(dlg.ControlAs<QLabel>(Id::kIdStatus)->text().isEmpty());
                    EXPECT_EQ(LayoutFaults(dlg), "");
                    checked = true;
                });
                ClickControl(dlg, Id::kIdSave);
                EXPECT_TRUE(checked);
            });
        }
        scene.Open({scene.File("a.kvd"), scene.File("b.kvd")});
        for (ExportFormat format : {ExportFormat::Abf, ExportFormat::Ascii, ExportFormat::Bin}) {
            // Each dialog starts with one output per input.
            std::remove(BuildProfilePath(kProgramName).c_str());
            scene.Run(format, [&](CDlgSelection& dlg) {
                SCOPED_TRACE(dlg.windowTitle().toStdString() + ", two files");
                QPushButton* browse = dlg.ControlAs<QPushButton>(Id::kIdBrowse);
                EXPECT_EQ(browse->text(), "Browse path");
                EXPECT_EQ(LayoutFaults(dlg), "");
                if (format == ExportFormat::Abf)
                    return;
                // One output and back: "Browse" is where it is with one file, not as wide as
                // "Browse path" was.
                const QRect path = browse->geometry();
                ClickControl(dlg, Id::kIdAssumeSplitted);
                ClickControl(dlg, Id::kIdSingleOutfile);
                EXPECT_EQ(browse->text(), "Browse");
                EXPECT_EQ(LayoutFaults(dlg), "");
                EXPECT_EQ(browse->geometry(), oneFileBrowse[format]);
                ClickControl(dlg, Id::kIdSingleOutfile);
                EXPECT_EQ(browse->text(), "Browse path");
                EXPECT_EQ(browse->geometry(), path);
                EXPECT_EQ(LayoutFaults(dlg), "");
            }, 2);
        }
        scene.TakeMessages();
    }
    QApplication::setFont(programFont);
}

TEST(CDlgSelection, AssumeSplittedFileIsKeptOnlyWhereSplitFilesArePermitted)
{
    struct Case
    {
        const char* name;
        ExportFormat format;
        int files;
        int permission;
        const char* stored;     // nullptr: the key is missing
        bool click;             // the user ticks the box
        const char* expected;   // nullptr: still missing
    };
    const Case cases[] = {
        {"binary, one file", ExportFormat::Bin, 1, 2, nullptr, false, nullptr},
        {"text, one file, a stored value", ExportFormat::Ascii, 1, 2, "1", false, "1"},
        {"binary, two parts", ExportFormat::Bin, 2, 2, nullptr, true, "1"},
        {"text, two parts, a stored value", ExportFormat::Ascii, 2, 2, "1", false, "1"},
        {"text, two files that are no parts", ExportFormat::Ascii, 2, 0, nullptr, false, nullptr},
        {"ABF, two parts", ExportFormat::Abf, 2, 2, "1", false, "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExportScene scene;
        std::vector<std::string> paths;
        for (int i = 0; i < c.files; ++i) {
            paths.push_back(scene.File("rec" + std::to_string(i) + ".kvd"));
            ASSERT_TRUE(WriteRecording(Continuous(2), Plain(2), paths.back()));
        }
        scene.Open(paths);
        CSettingsFile settings(BuildProfilePath(kProgramName));
        if (c.stored) {
            ASSERT_TRUE(settings.WriteString("Settings", "AssumeSplittedFile", c.stored));
        }
        scene.Run(c.format, [&](CDlgSelection& dlg) {
            QCheckBox* box = dlg.ControlAs<QCheckBox>(Id::kIdAssumeSplitted);
            const bool offered = c.files > 1 && c.permission != 0 && c.format != ExportFormat::Abf;
            EXPECT_EQ(box->isVisible() && box->isEnabled(), offered);
            if (offered) {
                EXPECT_EQ(box->isChecked(), c.stored != nullptr);
            }
            if (c.click) {
                ClickControl(dlg, Id::kIdAssumeSplitted);
            }
        }, c.permission);
        EXPECT_EQ(settings.GetString("Settings", "AssumeSplittedFile", "missing"),
                  c.expected ? c.expected : "missing");
    }
}
