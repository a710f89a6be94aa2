#include "app/gui/CurrentFolder.h"

QString& CurrentFolder()
{
    static QString folder;
    return folder;
}
