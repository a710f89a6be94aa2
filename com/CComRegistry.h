#pragma once
// The registry file: which library serves a class id, and which type libraries are registered
// in which version. An INI file through the platform's profile layer; every change rewrites it
// atomically.
//
// Where it is: $SONDREL_COM_REGISTRY when set and not empty (tests, install steps), the only file
// then. Otherwise lookups read the per-user file (<application data>/Calverin/ComRegistry.ini)
// and then the installed default (ComRegistry.ini beside the running program); changes go to the
// per-user file, or to the installed default when there is no application-data folder.

#include <cstdint>
#include <string>
#include <vector>

#include "com/ComTypes.h"
#include "com/Guid.h"

struct ClassEntry
{
    CLSID clsid;
    std::string progId;
    std::string typeName;
    std::string libraryPath;    // a relative path counts from the registry file's folder
    std::string threadingModel; // "Apartment"
    std::string typeLib;        // the library id as text, "{...}"
    std::string version;        // "1.1"
    uint32_t miscStatus = 0;
    std::string toolboxBitmap;  // "<library path>, <resource id>"
};

class CComRegistry
{
public:
    static constexpr const char* kEnvironmentVariable = "SONDREL_COM_REGISTRY";
    static constexpr const char* kFileName = "ComRegistry.ini";

    // The file changes go to; empty when none can be named.
    static std::string WritePath();
    // The files lookups read, first match wins.
    static std::vector<std::string> LookupPaths();
    static std::string PerUserPath();
    static std::string InstalledDefaultPath();

    // Adds or replaces the class (and its ProgID). SELFREG_E_CLASS when the file cannot be read
    // or written or the entry cannot be stored (a library path with a line break, say).
    [[nodiscard]] static HRESULT RegisterClass(const ClassEntry& entry);
    // Removes the class and the ProgID that names it. S_OK also when it was not registered;
    // SELFREG_E_CLASS when the file cannot be read or written.
    [[nodiscard]] static HRESULT UnregisterClass(const CLSID& clsid);
    // The class's entry, its library path made absolute; false when no file has it.
    static bool LookupClass(const CLSID& clsid, ClassEntry* entry);
    // The class's entry in every file that has it, in lookup order (the first is LookupClass's).
    static std::vector<ClassEntry> LookupClassEntries(const CLSID& clsid);
    // The class id of a ProgID; false when none is registered.
    static bool LookupProgId(const std::string& progId, CLSID* clsid);

    // Records a type library version (several versions may stand side by side).
    // SELFREG_E_TYPELIB when the file cannot be read or written.
    [[nodiscard]] static HRESULT RegisterTypeLib(const GUID& libid, uint16_t major, uint16_t minor,
                                   const std::string& libraryPath, const std::string& name);
    [[nodiscard]] static HRESULT UnregisterTypeLib(const GUID& libid, uint16_t major, uint16_t minor);
    // The highest registered version of the type library and its library path; false when the
    // library is not registered. Null outs are allowed.
    static bool QueryTypeLib(const GUID& libid, uint16_t* major, uint16_t* minor,
                             std::string* path);
};
