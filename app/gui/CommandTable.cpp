#include "app/gui/CommandTable.h"

#include <cstring>

#include "app/gui/CommandIds.h"

const std::vector<CommandInfo>& CommandTable()
{
    static const std::vector<CommandInfo> table = {
        {ID_FILE_OPEN_KVD, "&Open KVD\tCtrl+O", "Open a Calverin Harpstead file\nOpen Harpstead file",
         "Ctrl+O"},
        {ID_FILE_OPEN_BATCH, "Open &batch\tCtrl+B",
         "Open a batch file with a list of KVT Harpstead files\nOpen batch file", "Ctrl+B"},
        {ID_FILE_OPEN_MULTIPLE, "Open &multiple\tCtrl+M",
         "Open multiple files for conversion\nOpen multiple files", "Ctrl+M"},
        {ID_TOOLS_CONVERT_TO_ASCII, "Convert KVD to &ASCII", "Convert KVD to ASCII\nConvert KVD to ASCII", ""},
        {ID_TOOLS_CONVERT_TO_ABF, "Convert KVD to AB&F", "Convert KVD to ABF\nConvert KVD to ABF", ""},
        {ID_TOOLS_CONVERT_TO_BIN, "Convert KVD to &BIN", "Convert KVD to binary\nConvert KVD to binary", ""},
        {ID_TOOLS_MERGE, "Merge multiple files", "Merge multiple files\nMerge multiple files", ""},
        {ID_FILE_MRU_FILE1, "Recent File", "Open this file", ""},
        {ID_APP_EXIT, "E&xit", "Quit Sondrel\nExit", ""},
        {ID_VIEW_TOOLBAR, "&Toolbar", "Show or hide the toolbar\nToolbar", ""},
        {ID_VIEW_STATUS_BAR, "&Status Bar", "Show or hide the status bar\nStatus Bar", ""},
        {ID_HELP_FINDER, "&Help", "Show the help page\nHelp", ""},
        {ID_APP_ABOUT, "&About Sondrel...", "Show the program's version\nAbout", ""},
    };
    return table;
}

const CommandInfo* FindCommand(int id)
{
    for (const CommandInfo& info : CommandTable())
        if (info.id == id)
            return &info;
    return nullptr;
}

void SplitPrompt(const char* prompt, std::string& statusTip, std::string& toolTip)
{
    const char* feed = std::strchr(prompt, '\n');
    statusTip = feed ? std::string(prompt, feed) : std::string(prompt);
    toolTip = feed ? std::string(feed + 1) : std::string();
}
