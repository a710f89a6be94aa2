#pragma once
// The menu texts, status-bar prompts and keys of every command, by command id, as the menus, the
// toolbar and the accelerators use them.

#include <string>
#include <vector>

struct CommandInfo
{
    int id;
    const char* text;      // menu text; "\t" and what follows show the key
    const char* prompt;    // "status-bar text\ntool tip"
    const char* shortcut;  // Qt key sequence text; empty = none
};

const std::vector<CommandInfo>& CommandTable();
// The entry of `id`; nullptr when the table has none.
const CommandInfo* FindCommand(int id);

// The two halves of a prompt: before and after its first "\n" (the whole prompt and "" without).
void SplitPrompt(const char* prompt, std::string& statusTip, std::string& toolTip);
