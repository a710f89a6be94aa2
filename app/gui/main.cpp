// The windowed program: opens recordings, shows what they hold, merges and exports them.

#include <clocale>

#include <QApplication>

#include "app/gui/CSondrelApp.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // QApplication takes the user's locale for everything; numbers in files keep the "C" form.
    setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Sondrel"));
    CSondrelApp app;
    // Qt has taken its own options out of the arguments by now.
    if (!app.InitInstance(QApplication::arguments()))
        return 1;
    return application.exec();
}
