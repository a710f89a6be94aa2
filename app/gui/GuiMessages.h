#pragma once
// The windowed program's message boxes, with a hook that tests script.

#include <functional>

#include <QMessageBox>
#include <QString>

// Shows `text` in a box titled "Sondrel" over the active window and returns the button pressed
// (a QMessageBox::StandardButton value). With a hook set, the hook answers instead.
int ShowMessage(const QString& text, QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                QMessageBox::Icon icon = QMessageBox::NoIcon);

// Receives every message instead of a box and returns the button "pressed"; empty = real boxes.
using MessageHook = std::function<int(const QString& text, QMessageBox::StandardButtons)>;
void SetMessageHook(MessageHook hook);

// The warning beep. With a beep hook set, the hook is called instead (tests count beeps).
void MessageBeep();
void SetBeepHook(std::function<void()> hook);
