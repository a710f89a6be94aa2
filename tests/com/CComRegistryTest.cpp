// The registry file: where it is, classes and type libraries in and out, and files that are
// missing or cannot be used.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "com/CComRegistry.h"
#include "com/CreateControl.h"
#include "tests/com/server/TestServerLibrary.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

namespace {

std::string FileText(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text)
{
    ASSERT_TRUE(WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
}

ClassEntry SampleEntry(const std::string& library)
{
    ClassEntry entry;
    entry.clsid = kTestServerClsid;
    entry.progId = kTestServerProgId;
    entry.typeName = "COM Test Control";
    entry.libraryPath = library;
    entry.threadingModel = "Apartment";
    entry.typeLib = GuidToString(kTestServerLibid);
    entry.version = "1.1";
    entry.miscStatus = 0x20191;
    entry.toolboxBitmap = library + ", 1";
    return entry;
}

TEST(ComRegistry, TheVariableNamesTheOnlyFileElsePerUserThenInstalled)
{
    TempDir dir;
    {
        ScopedEnv registry(CComRegistry::kEnvironmentVariable, dir.File("reg.ini").c_str());
        EXPECT_EQ(CComRegistry::WritePath(), dir.File("reg.ini"));
        EXPECT_EQ(CComRegistry::LookupPaths(), std::vector<std::string>({dir.File("reg.ini")}));
    }
    for (const char* unset : {static_cast<const char*>(nullptr), ""}) {
        SCOPED_TRACE(unset ? "empty" : "unset");
        ScopedEnv registry(CComRegistry::kEnvironmentVariable, unset);
        ScopedEnv config("XDG_CONFIG_HOME", dir.Path().c_str());
        const std::string perUser = dir.File("Calverin/ComRegistry.ini");
        EXPECT_EQ(CComRegistry::PerUserPath(), perUser);
        EXPECT_EQ(CComRegistry::WritePath(), perUser);
        const std::vector<std::string> paths = CComRegistry::LookupPaths();
        ASSERT_EQ(paths.size(), 2u);
        EXPECT_EQ(paths[0], perUser);
        EXPECT_EQ(paths[1], CComRegistry::InstalledDefaultPath());
        EXPECT_NE(paths[1].find("/ComRegistry.ini"), std::string::npos);
    }
}

TEST(ComRegistry, ClassRegisterLookupUnregister)
{
    TempDir dir;
    const std::string file = dir.File("sub/reg.ini"); // the folder is made on the first write
    ScopedEnv registry(CComRegistry::kEnvironmentVariable, file.c_str());
    ASSERT_EQ(CComRegistry::RegisterClass(SampleEntry("/opt/lib/Server.ocx")), S_OK);

    ClassEntry found;
    ASSERT_TRUE(CComRegistry::LookupClass(kTestServerClsid, &found));
    EXPECT_EQ(found.clsid, kTestServerClsid);
    EXPECT_EQ(found.libraryPath, "/opt/lib/Server.ocx");
    EXPECT_EQ(found.progId, kTestServerProgId);
    EXPECT_EQ(found.typeName, "COM Test Control");
    EXPECT_EQ(found.threadingModel, "Apartment");
    EXPECT_EQ(found.typeLib, "{5B2C9E52-7D3A-4C8E-9F10-2A6B4D8E0C11}");
    EXPECT_EQ(found.version, "1.1");
    EXPECT_EQ(found.miscStatus, 0x20191u);
    EXPECT_EQ(found.toolboxBitmap, "/opt/lib/Server.ocx, 1");
    CLSID byProgId;
    ASSERT_TRUE(CComRegistry::LookupProgId(kTestServerProgId, &byProgId));
    EXPECT_EQ(byProgId, kTestServerClsid);
    EXPECT_FALSE(CComRegistry::LookupClass(kTestServerLibid, &found));

    // Registering again replaces the entry, and a changed ProgID drops the old one.
    ClassEntry renamed = SampleEntry("/other/Server.ocx");
    renamed.progId = "COMTEST.TestCtrl.2";
    renamed.toolboxBitmap.clear();
    ASSERT_EQ(CComRegistry::RegisterClass(renamed), S_OK);
    ASSERT_TRUE(CComRegistry::LookupClass(kTestServerClsid, &found));
    EXPECT_EQ(found.libraryPath, "/other/Server.ocx");
    EXPECT_EQ(found.toolboxBitmap, "");
    EXPECT_FALSE(CComRegistry::LookupProgId(kTestServerProgId, &byProgId));
    EXPECT_TRUE(CComRegistry::LookupProgId("COMTEST.TestCtrl.2", &byProgId));

    ASSERT_EQ(CComRegistry::UnregisterClass(kTestServerClsid), S_OK);
    EXPECT_FALSE(CComRegistry::LookupClass(kTestServerClsid, &found));
    EXPECT_FALSE(CComRegistry::LookupProgId("COMTEST.TestCtrl.2", &byProgId));
    EXPECT_EQ(FileText(file), ""); // nothing left behind, not even empty sections
    EXPECT_EQ(CComRegistry::UnregisterClass(kTestServerClsid), S_OK);
}

TEST(ComRegistry, OtherContentOfTheFileIsKept)
{
    TempDir dir;
    const std::string file = dir.File("reg.ini");
    const std::string before = "; hand-written note\n[Other]\nKey=Value\n";
    WriteText(file, before);
    ScopedEnv registry(CComRegistry::kEnvironmentVariable, file.c_str());
    ASSERT_EQ(CComRegistry::RegisterClass(SampleEntry("/x.ocx")), S_OK);
    ASSERT_EQ(CComRegistry::RegisterTypeLib(kTestServerLibid, 1, 1, "/x.ocx", "Lib"), S_OK);
    EXPECT_EQ(FileText(file).substr(0, before.size()), before);
    ASSERT_EQ(CComRegistry::UnregisterTypeLib(kTestServerLibid, 1, 1), S_OK);
    ASSERT_EQ(CComRegistry::UnregisterClass(kTestServerClsid), S_OK);
    EXPECT_EQ(FileText(file), before);
}

TEST(ComRegistry, RelativeLibraryPathCountsFromTheRegistryFolder)
{
    TempDir dir;
    const std::string file = dir.File("reg.ini");
    WriteText(file, "[CLSID\\" + GuidToString(kTestServerClsid) + "]\nInprocServer32=lib/S.ocx\n");
    ScopedEnv registry(CComRegistry::kEnvironmentVariable, file.c_str());
    ClassEntry found;
    ASSERT_TRUE(CComRegistry::LookupClass(kTestServerClsid, &found));
    EXPECT_EQ(found.libraryPath, dir.File("lib/S.ocx"));
    EXPECT_EQ(found.progId, "");
}

TEST(ComRegistry, TypeLibraryVersionsStandSideBySide)
{
    TempDir dir;
    ScopedEnv registry(CComRegistry::kEnvironmentVariable, dir.File("reg.ini").c_str());
    uint16_t major = 9;
    uint16_t minor = 9;
    std::string path = "unchanged";
    EXPECT_FALSE(CComRegistry::QueryTypeLib(kTestServerLibid, &major, &minor, &path));
    EXPECT_EQ(path, "unchanged");

    ASSERT_EQ(CComRegistry::RegisterTypeLib(kTestServerLibid, 1, 1, "/new.ocx", "Lib"), S_OK);
    ASSERT_EQ(CComRegistry::RegisterTypeLib(kTestServerLibid, 1, 0, "/old.ocx", "Lib"), S_OK);
    ASSERT_EQ(CComRegistry::RegisterTypeLib(kTestServerLibid, 1, 1, "/new.ocx", "Lib"), S_OK);
    ASSERT_TRUE(CComRegistry::QueryTypeLib(kTestServerLibid, &major, &minor, &path));
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 1);
    EXPECT_EQ(path, "/new.ocx");

    ASSERT_EQ(CComRegistry::UnregisterTypeLib(kTestServerLibid, 1, 1), S_OK);
    ASSERT_TRUE(CComRegistry::QueryTypeLib(kTestServerLibid, &major, &minor, &path));
    EXPECT_EQ(minor, 0);
    EXPECT_EQ(path, "/old.ocx");
    EXPECT_EQ(CComRegistry::UnregisterTypeLib(kTestServerLibid, 2, 0), S_OK); // never there
    ASSERT_EQ(CComRegistry::UnregisterTypeLib(kTestServerLibid, 1, 0), S_OK);
    EXPECT_FALSE(CComRegistry::QueryTypeLib(kTestServerLibid, nullptr, nullptr, nullptr));
}

TEST(ComRegistry, MissingFileMeansNothingRegistered)
{
    TempDir dir;
    const std::string file = dir.File("none.ini");
    ScopedEnv registry(CComRegistry::kEnvironmentVariable, file.c_str());
    EXPECT_EQ(CoInitialize(), S_OK);
    EXPECT_FALSE(CComRegistry::LookupClass(kTestServerClsid, nullptr));
    EXPECT_FALSE(CComRegistry::QueryTypeLib(kTestServerLibid, nullptr, nullptr, nullptr));
    EXPECT_EQ(CComRegistry::UnregisterClass(kTestServerClsid), S_OK);
    EXPECT_EQ(CComRegistry::UnregisterTypeLib(kTestServerLibid, 1, 1), S_OK);
    EXPECT_TRUE(ReadFileBytes(file).empty()); // and no file was made for nothing

    IDispatch* dispatch = reinterpret_cast<IDispatch*>(1);
    void* window = &dispatch;
    EXPECT_EQ(CreateControl(kTestServerClsid, nullptr, 0, 0, 0, 0, 1, &dispatch, &window),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(dispatch, nullptr);
    EXPECT_EQ(window, nullptr);
    CoUninitialize();
}

TEST(ComRegistry, UnusableFileFailsWithTheRegistrationCodes)
{
    TempDir dir;
    // A folder where the file should be: it can be neither read nor replaced.
    ASSERT_EQ(std::system(("mkdir " + dir.File("reg.ini")).c_str()), 0);
    ScopedEnv registry(CComRegistry::kEnvironmentVariable, dir.File("reg.ini").c_str());
    EXPECT_EQ(CComRegistry::RegisterClass(SampleEntry("/x.ocx")), SELFREG_E_CLASS);
    EXPECT_EQ(CComRegistry::UnregisterClass(kTestServerClsid), SELFREG_E_CLASS);
    EXPECT_EQ(CComRegistry::RegisterTypeLib(kTestServerLibid, 1, 1, "/x", "L"), SELFREG_E_TYPELIB);
    EXPECT_EQ(CComRegistry::UnregisterTypeLib(kTestServerLibid, 1, 1), SELFREG_E_TYPELIB);
    EXPECT_FALSE(CComRegistry::LookupClass(kTestServerClsid, nullptr));

    // A value the file cannot hold is refused, and the file keeps what it had.
    ScopedEnv good(CComRegistry::kEnvironmentVariable, dir.File("good.ini").c_str());
    ASSERT_EQ(CComRegistry::RegisterClass(SampleEntry("/x.ocx")), S_OK);
    const std::string before = FileText(dir.File("good.ini"));
    EXPECT_EQ(CComRegistry::RegisterClass(SampleEntry("/x\n[Injected]\n.ocx")), SELFREG_E_CLASS);
    EXPECT_EQ(FileText(dir.File("good.ini")), before);
}

} // namespace
