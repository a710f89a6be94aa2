#pragma once
// The program's current-folder string, shared by the folder chooser and the document commands.

#include <QString>

// Empty at start; lives until the program ends.
QString& CurrentFolder();
