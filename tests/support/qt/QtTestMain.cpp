// Entry of the Qt test programs: one QApplication (offscreen unless told otherwise), then the
// GoogleTest cases, which drive widgets with QTest's event functions.

#include <gtest/gtest.h>

#include <QApplication>

#include <clocale>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    // QApplication takes the user's locale for everything; numbers must keep the "C" form.
    setlocale(LC_NUMERIC, "C");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
