// End to end: the test server library registered into a temporary registry by the register tool,
// created by class id, called, firing an event to our sink, and unregistered.

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <dlfcn.h>

#include "com/CComRegistry.h"
#include "com/CreateControl.h"
#include "com/ServerExports.h"
#include "tests/com/ComTestObjects.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

namespace {

// Runs the register tool; its exit status, and its output in `output`.
int RunRegSvr(const TempDir& dir, const std::string& arguments, std::string* output = nullptr)
{
    const std::string log = dir.File("regsvr.log");
    const std::string command =
        std::string(SONDREL_REGSVR) + " " + arguments + " > " + log + " 2>&1";
    const int status = std::system(command.c_str());
    if (output) {
        const std::vector<uint8_t> bytes = ReadFileBytes(log);
        output->assign(bytes.begin(), bytes.end());
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string RealPath(const char* path)
{
    char* resolved = realpath(path, nullptr);
    std::string text = resolved ? resolved : "";
    std::free(resolved);
    return text;
}

class ComEndToEnd : public ::testing::Test
{
protected:
    TempDir m_dir;
    ScopedEnv m_registry{CComRegistry::kEnvironmentVariable, m_dir.File("registry.ini").c_str()};
};

TEST_F(ComEndToEnd, RegisterCreateCallFireUnregister)
{
    std::string output;
    ASSERT_EQ(RunRegSvr(m_dir, COM_TEST_SERVER, &output), 0) << output;
    EXPECT_NE(output.find("DllRegisterServer in"), std::string::npos);
    EXPECT_NE(output.find("succeeded"), std::string::npos);

    ClassEntry entry;
    ASSERT_TRUE(CComRegistry::LookupClass(kTestServerClsid, &entry));
    EXPECT_EQ(entry.libraryPath, RealPath(COM_TEST_SERVER));
    EXPECT_EQ(entry.threadingModel, "Apartment");
    uint16_t major = 0;
    uint16_t minor = 0;
    ASSERT_TRUE(CComRegistry::QueryTypeLib(kTestServerLibid, &major, &minor, nullptr));
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 1);

    ASSERT_EQ(CoInitialize(), S_OK);
    int parent = 0;
    ComPtr<IDispatch> control;
    void* window = nullptr;
    ASSERT_EQ(CreateControl(kTestServerClsid, &parent, 10, 20, 0, 0, 1173, control.Address(),
                            &window),
              S_OK);
    ASSERT_TRUE(control);
    ASSERT_NE(window, nullptr);
    const auto* made = static_cast<const TestServerWindow*>(window);
    EXPECT_EQ(made->parent, &parent);
    EXPECT_EQ(made->x, 10);
    EXPECT_EQ(made->y, 20);
    EXPECT_EQ(made->childId, 1173);

    // The host's version check: type information -> containing library -> its attributes.
    ComPtr<ITypeInfo> info;
    ComPtr<ITypeLib> library;
    ASSERT_EQ(control->GetTypeInfo(0, info.Address()), S_OK);
    ASSERT_EQ(info->GetContainingTypeLib(library.Address(), nullptr), S_OK);
    TLibAttr attributes;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_EQ(attributes.wMajorVerNum, 1);
    EXPECT_EQ(attributes.wMinorVerNum, 1);

    DispParams add;
    add.args = {Variant::I4(40), Variant::I2(2)};
    Variant result;
    ASSERT_EQ(control->Invoke(kTestAdd, DISPATCH_METHOD, add, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 42);
    DispParams one;
    one.args = {Variant::I4(1)};
    EXPECT_EQ(control->Invoke(kTestAdd, DISPATCH_METHOD, one, &result), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(control->Invoke(99, DISPATCH_METHOD, one, &result), DISP_E_MEMBERNOTFOUND);
    DispParams wrong;
    Variant strings = MakeStringArray({"a"});
    wrong.args = {Variant::ByRef(&strings)};
    EXPECT_EQ(control->Invoke(kTestSetIds, DISPATCH_METHOD, wrong, nullptr), DISP_E_TYPEMISMATCH);

    // Events reach our sink synchronously, with the array the server built.
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(control.As(IID_IConnectionPointContainer, &container), S_OK);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(kTestServerEventsIid, point.Address()), S_OK);
    ComPtr<CRecordingSink> sink;
    sink.Attach(new CRecordingSink);
    uint32_t cookie = 0;
    ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie), S_OK);
    Variant ids = MakeUI2Array({3, 64, 260});
    DispParams setIds;
    setIds.args = {Variant::ByRef(&ids)};
    ASSERT_EQ(control->Invoke(kTestSetIds, DISPATCH_METHOD, setIds, nullptr), S_OK);
    DispParams fire;
    fire.args = {Variant::Bool(true)};
    ASSERT_EQ(control->Invoke(kTestFireIds, DISPATCH_METHOD, fire, nullptr), S_OK);
    ASSERT_EQ(sink->calls.size(), 1u);
    EXPECT_TRUE(sink->calls[0].selected);
    EXPECT_EQ(sink->calls[0].ids, std::vector<uint16_t>({3, 64, 260}));
    EXPECT_EQ(point->Unadvise(cookie), S_OK);

    // A second object without a window.
    ComPtr<IDispatch> plain;
    ASSERT_EQ(CoCreateInstance(kTestServerClsid, IID_IDispatch, plain.VoidAddress()), S_OK);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(kTestServerClsid, IID_IClassFactory, factory.VoidAddress()),
              S_OK);
    ComPtr<IUnknown> aggregated;
    EXPECT_EQ(factory->CreateInstance(plain.Get(), IID_IUnknown, aggregated.VoidAddress()),
              CLASS_E_NOAGGREGATION);

    // The library stays loaded; its unload test counts the objects and factory references.
    void* module = dlopen(entry.libraryPath.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(module, nullptr);
    auto canUnloadNow = reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllCanUnloadNow"));
    ASSERT_NE(canUnloadNow, nullptr);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    point.Reset();
    container.Reset();
    info.Reset();
    library.Reset();
    control.Reset();
    plain.Reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE); // the factory is still held
    factory.Reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
    dlclose(module);
    CoUninitialize();

    ASSERT_EQ(RunRegSvr(m_dir, std::string("-u ") + COM_TEST_SERVER, &output), 0) << output;
    EXPECT_NE(output.find("DllUnregisterServer"), std::string::npos);
    EXPECT_FALSE(CComRegistry::LookupClass(kTestServerClsid, nullptr));
    EXPECT_FALSE(CComRegistry::QueryTypeLib(kTestServerLibid, nullptr, nullptr, nullptr));
    EXPECT_EQ(CreateControl(kTestServerClsid, &parent, 0, 0, 0, 0, 1, control.Address(), &window),
              REGDB_E_CLASSNOTREG);
}

TEST_F(ComEndToEnd, LibrariesThatCannotServeTheClass)
{
    ClassEntry entry;
    entry.clsid = kTestServerClsid;
    entry.libraryPath = m_dir.File("missing.ocx");
    ASSERT_EQ(CComRegistry::RegisterClass(entry), S_OK);
    ComPtr<IDispatch> control;
    void* window = nullptr;
    EXPECT_EQ(CreateControl(kTestServerClsid, nullptr, 0, 0, 0, 0, 1, control.Address(), &window),
              CO_E_DLLNOTFOUND);

    // A real library without the class-object export: the C library itself.
    entry.libraryPath = ModulePathOf(reinterpret_cast<const void*>(&std::printf));
    ASSERT_FALSE(entry.libraryPath.empty());
    ASSERT_EQ(CComRegistry::RegisterClass(entry), S_OK);
    EXPECT_EQ(CreateControl(kTestServerClsid, nullptr, 0, 0, 0, 0, 1, control.Address(), &window),
              CO_E_ERRORINDLL);

    // The right library asked for a class it does not serve.
    entry.clsid = kTestServerLibid;
    entry.libraryPath = RealPath(COM_TEST_SERVER);
    ASSERT_EQ(CComRegistry::RegisterClass(entry), S_OK);
    EXPECT_EQ(CreateControl(kTestServerLibid, nullptr, 0, 0, 0, 0, 1, control.Address(), &window),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_FALSE(control);
    EXPECT_EQ(window, nullptr);
}

TEST_F(ComEndToEnd, RegisterToolFailures)
{
    std::string output;
    EXPECT_EQ(RunRegSvr(m_dir, "", &output), 1);
    EXPECT_NE(output.find("usage"), std::string::npos);
    EXPECT_EQ(RunRegSvr(m_dir, m_dir.File("missing.ocx"), &output), 1);
    EXPECT_NE(output.find("cannot load"), std::string::npos);
    EXPECT_EQ(RunRegSvr(m_dir, ModulePathOf(reinterpret_cast<const void*>(&std::printf)),
                        &output),
              1);
    EXPECT_NE(output.find("does not export DllRegisterServer"), std::string::npos);

    // A registry that cannot be written: the server's own failure code comes through.
    ScopedEnv unusable(CComRegistry::kEnvironmentVariable, m_dir.Path().c_str());
    EXPECT_EQ(RunRegSvr(m_dir, COM_TEST_SERVER, &output), 1);
    EXPECT_NE(output.find("0x80040200 (SELFREG_E_TYPELIB)"), std::string::npos) << output;
}

} // namespace
