#pragma once
// Keeping the windows alive during long work on the user-interface thread.

// Lets the application handle every event that is waiting, then returns.
void PumpWaitingMessages();

// True while a CBusyScope lives: a long operation is pumping messages, and the main window
// refuses to close under it.
bool IsBusy();

// Marks the program busy for its lifetime; scopes nest.
class CBusyScope {
public:
    CBusyScope();
    ~CBusyScope();
    CBusyScope(const CBusyScope&) = delete;
    CBusyScope& operator=(const CBusyScope&) = delete;

    static bool IsBusy() { return ::IsBusy(); }
};
