#include "app/gui/GuiMessages.h"

#include <QApplication>
#include <QWidget>

namespace {

MessageHook& Hook()
{
    static MessageHook hook;
    return hook;
}

std::function<void()>& BeepHook()
{
    static std::function<void()> hook;
    return hook;
}

} // namespace

int ShowMessage(const QString& text, QMessageBox::StandardButtons buttons, QMessageBox::Icon icon)
{
    if (Hook())
        return Hook()(text, buttons);
    QMessageBox box(icon, QStringLiteral("Sondrel"), text, buttons, QApplication::activeWindow());
    // Messages quote file names and file texts: never let a '<' in them turn the box into HTML.
    box.setTextFormat(Qt::PlainText);
    return box.exec();
}

void SetMessageHook(MessageHook hook)
{
    Hook() = std::move(hook);
}

void MessageBeep()
{
    if (BeepHook())
        BeepHook()();
    else
        QApplication::beep();
}

void SetBeepHook(std::function<void()> hook)
{
    BeepHook() = std::move(hook);
}
