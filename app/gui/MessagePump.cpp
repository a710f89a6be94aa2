#include "app/gui/MessagePump.h"

#include <QCoreApplication>

namespace {

int g_busyDepth = 0;

} // namespace

void PumpWaitingMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool IsBusy()
{
    return g_busyDepth > 0;
}

CBusyScope::CBusyScope()
{
    ++g_busyDepth;
}

CBusyScope::~CBusyScope()
{
    --g_busyDepth;
}
