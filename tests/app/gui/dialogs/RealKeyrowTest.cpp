// The export dialog with the real button-panel control, registered into a scratch registry and
// created by class id.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <QAbstractButton>
#include <QListWidget>
#include <QTest>

#include "com/ServerExports.h"
#include "tests/app/gui/dialogs/ExportDialogScene.h"

namespace {

QAbstractButton* ButtonNamed(QWidget* panel, const QString& text)
{
    for (QAbstractButton* button : panel->findChildren<QAbstractButton*>())
        if (button->text().trimmed() == text && button->isVisible())
            return button;
    return nullptr;
}

} // namespace

TEST(RealKeyrow, PanelsOfTheRegisteredControlSelectChannels)
{
    ExportScene scene(false);
    ScopedEnv registry("SONDREL_COM_REGISTRY", scene.File("registry.ini").c_str());
    void* library = dlopen(SONDREL_KEYROW_OCX, RTLD_NOW);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto registerServer = reinterpret_cast<DllRegisterServerFunction>(dlsym(library, "DllRegisterServer"));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_EQ(registerServer(), S_OK);

    KvdRecordingPlan plan;
    plan.streams = {ElectrodeStream(6)};
    LayoutPlan layout;
    layout.electrodes = 6;
    layout.total = 6;
    ASSERT_TRUE(WriteRecording(plan, layout, scene.File("rec.kvd")));
    scene.Open({scene.File("rec.kvd")});
    bool driven = false;
    scene.Run(ExportFormat::Ascii, [&](CDlgSelection& dlg) {
        driven = true;
        QWidget* panel = dlg.Panel(0).Window();
        ASSERT_NE(panel, nullptr);
        EXPECT_TRUE(panel->isVisible());
        EXPECT_GT(panel->width(), 0);
        EXPECT_GT(panel->height(), 0);
        EXPECT_FALSE(dlg.Panel(1).Window()->isVisible());
        QAbstractButton* second = ButtonNamed(panel, "02");
        ASSERT_NE(second, nullptr);
        QTest::mouseClick(second, Qt::LeftButton);
        QListWidget* selection = dlg.ControlAs<QListWidget>(CDlgSelection::kIdSelectionList);
        ASSERT_EQ(selection->count(), 1);
        EXPECT_EQ(selection->item(0)->text(), "El_02");
        QTest::mouseClick(second, Qt::LeftButton);
        EXPECT_EQ(selection->count(), 0);
        // The all-button selects every channel, in the panel's order.
        if (QAbstractButton* all = ButtonNamed(panel, "All")) {
            QTest::mouseClick(all, Qt::LeftButton);
            EXPECT_EQ(selection->count(), 6);
        }
    });
    EXPECT_TRUE(driven);
    EXPECT_EQ(scene.exitStatus, -1);
    EXPECT_TRUE(scene.TakeMessages().isEmpty()) << scene.messages.join("|").toStdString();
}
