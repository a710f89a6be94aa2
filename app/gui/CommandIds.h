#pragma once
// The windowed program's command ids: the framework's standard ones and the document's own.

// Framework commands.
constexpr int ID_FILE_NEW = 57600;
constexpr int ID_FILE_OPEN = 57601;
constexpr int ID_FILE_MRU_FILE1 = 57616;     // recent files: 57616 onwards
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_HELP_FINDER = 57667;
constexpr int ID_VIEW_TOOLBAR = 59392;
constexpr int ID_VIEW_STATUS_BAR = 59393;

// The document's commands.
constexpr int ID_TOOLS_CONVERT_TO_ABF = 32771;
constexpr int ID_TOOLS_CONVERT_ABF_UNUSED = 32772;   // string only, on no menu or button
constexpr int ID_FILE_OPEN_KVD = 32773;
constexpr int ID_TOOLS_CONVERT_TO_ASCII = 32775;
constexpr int ID_TOOLS_CONVERT_TO_BIN = 32777;
constexpr int ID_FILE_OPEN_BATCH = 32781;
constexpr int ID_FILE_OPEN_MULTIPLE = 32784;
constexpr int ID_TOOLS_MERGE = 32788;

// The progress window's Cancel button.
constexpr int ID_PROGRESS_CANCEL = 100;
