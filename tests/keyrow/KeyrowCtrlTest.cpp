// The control as its container meets it: registered into a temporary registry, created by class
// id from the built library, called by dispatch id, firing its events to a sink.

#include <cstdlib>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "com/SafeArray.h"
#include "keyrow/core/CKeyrowLayout.h"
#include "tests/keyrow/KeyrowTestContainer.h"

namespace {

constexpr VARTYPE kUI2Array = VT_ARRAY | VT_UI2;

// A plain panel of `count` buttons in mode `mode`, created through the raw-pointer form (the
// "V" forms would switch the all button to its array event).
void MakePanel(IDispatch* control, int mode, int count, const char* title = "")
{
    ASSERT_EQ(Put(control, kDispSelectionMode, Variant::I4(mode)), S_OK);
    ASSERT_EQ(Call(control, kDispSetTitleType, {Variant::I4(1)}), S_OK);
    ASSERT_EQ(Call(control, kDispSetTitle, {Variant::Str(title), Variant::I4(0)}), S_OK);
    auto block = std::make_unique<KeyrowNameBlock>();
    const std::vector<std::string> names = Labels(count);
    block->count = count;
    for (int i = 0; i < count; ++i)
        std::snprintf(block->names[i], kKeyrowNameSlotBytes, "%s", names[static_cast<size_t>(i)].c_str());
    ASSERT_EQ(Call(control, kDispInitializeButtons,
                   {Variant::ByRefI4(reinterpret_cast<int32_t*>(block.get())), Variant::I4(0),
                    Variant::I4(0), Variant::I2(0), Variant::I2(static_cast<int16_t>(count))}),
              S_OK);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int32_t ChannelState(IDispatch* control, int32_t hwid)
{
    Variant result;
    EXPECT_EQ(Call(control, kDispGetChannelState, {Variant::I4(hwid)}, &result), S_OK);
    return result.lVal;
}

KeyrowSize BoundingSize(IDispatch* control)
{
    KeyrowSize size{-1, -1};
    EXPECT_EQ(Call(control, kDispGetBoundingSize,
                   {Variant::ByRefI4(&size.cx), Variant::ByRefI4(&size.cy)}),
              S_OK);
    return size;
}

class KeyrowCtrlTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(c.Register(), S_OK);
        ASSERT_TRUE(c.Create());
    }
    KeyrowTestContainer c;
};

} // namespace

TEST(KeyrowRegistration, RegistersBothClassesAndTheTypeLibrary)
{
    KeyrowTestContainer c;
    ASSERT_EQ(c.Register(), S_OK);
    ClassEntry entry;
    ASSERT_TRUE(CComRegistry::LookupClass(kKeyrowClsid, &entry));
    EXPECT_EQ(entry.progId, "KEYROW.KeyrowCtrl.1");
    EXPECT_EQ(entry.typeName, "Keyrow Control");
    EXPECT_EQ(entry.threadingModel, "Apartment");
    EXPECT_EQ(entry.typeLib, "{D00BADE4-DB5B-4F6E-B929-135DFD9E8102}");
    EXPECT_EQ(entry.version, "1.1");
    EXPECT_EQ(entry.miscStatus, 0x20191u);
    EXPECT_NE(entry.libraryPath.find("KeyrowOcx.ocx"), std::string::npos);
    ASSERT_TRUE(CComRegistry::LookupClass(kKeyrowPropPageClsid, &entry));
    EXPECT_EQ(entry.typeName, "Keyrow Property Page");
    CLSID clsid;
    ASSERT_TRUE(CComRegistry::LookupProgId("KEYROW.KeyrowPropPage.1", &clsid));
    EXPECT_EQ(clsid, kKeyrowPropPageClsid);
    uint16_t major = 0;
    uint16_t minor = 0;
    ASSERT_TRUE(CComRegistry::QueryTypeLib(kKeyrowLibid, &major, &minor, nullptr));
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 1);

    // What the export dialog checks: the version of the type library behind the interface.
    ASSERT_TRUE(c.Create());
    ComPtr<ITypeInfo> info;
    ComPtr<ITypeLib> lib;
    uint32_t index = 0;
    ASSERT_EQ(c.control->GetTypeInfo(0, info.Address()), S_OK);
    ASSERT_EQ(info->GetContainingTypeLib(lib.Address(), &index), S_OK);
    TLibAttr attr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr.guid, kKeyrowLibid);
    EXPECT_EQ(attr.wMajorVerNum, 1);
    EXPECT_EQ(attr.wMinorVerNum, 1);
    info = nullptr;
    lib = nullptr;

    EXPECT_EQ(c.CanUnloadNow(), S_FALSE);
    c.control = nullptr;
    EXPECT_TRUE(c.window.isNull());   // the control takes its window with it
    EXPECT_EQ(c.CanUnloadNow(), S_OK);

    ASSERT_EQ(c.Unregister(), S_OK);
    EXPECT_FALSE(CComRegistry::LookupClass(kKeyrowClsid, &entry));
    EXPECT_FALSE(CComRegistry::LookupClass(kKeyrowPropPageClsid, &entry));
    EXPECT_FALSE(CComRegistry::QueryTypeLib(kKeyrowLibid, nullptr, nullptr, nullptr));
    EXPECT_FALSE(c.Create());
}

TEST(KeyrowRegistration, TheRegisterToolRegistersAndUnregisters)
{
    TempDir dir;
    ScopedEnv registry(CComRegistry::kEnvironmentVariable, dir.File("registry.ini").c_str());
    const std::string tool = std::string(SONDREL_REGSVR) + " " + KEYROW_OCX + " > /dev/null";
    ASSERT_EQ(std::system(tool.c_str()), 0);
    EXPECT_TRUE(CComRegistry::LookupClass(kKeyrowClsid, nullptr) ||
                CComRegistry::QueryTypeLib(kKeyrowLibid, nullptr, nullptr, nullptr));
    const std::string untool = std::string(SONDREL_REGSVR) + " -u " + KEYROW_OCX + " > /dev/null";
    ASSERT_EQ(std::system(untool.c_str()), 0);
    EXPECT_FALSE(CComRegistry::QueryTypeLib(kKeyrowLibid, nullptr, nullptr, nullptr));
}

TEST(KeyrowRegistration, AnUnwritableRegistryIsAClassOrTypeLibraryError)
{
    KeyrowTestContainer c;
    ScopedEnv registry(CComRegistry::kEnvironmentVariable, "/proc/no/such/registry.ini");
    const HRESULT hr = c.Register();
    EXPECT_TRUE(hr == SELFREG_E_TYPELIB || hr == SELFREG_E_CLASS) << std::hex << hr;
}

TEST_F(KeyrowCtrlTest, WindowIsAChildOfTheHost)
{
    EXPECT_EQ(c.window->parentWidget(), c.host.get());
    EXPECT_EQ(c.window->property("childId").toInt(), 1173);
    EXPECT_TRUE(c.window->isVisible());
}

TEST_F(KeyrowCtrlTest, EveryDispatchId)
{
    IDispatch* k = c.control.Get();
    int16_t major = 0;
    int16_t minor = 0;
    EXPECT_EQ(Call(k, kDispGetVersion, {Variant::ByRefI2(&major), Variant::ByRefI2(&minor)}), S_OK);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 1);

    // Before any buttons: the stored title, no size.
    Variant title;
    EXPECT_EQ(Call(k, kDispGetTitle, {}, &title), S_OK);
    EXPECT_EQ(title.vt, VT_BSTR);
    EXPECT_EQ(title.bstrVal, "");
    EXPECT_EQ(Call(k, kDispSetTitle, {Variant::Str("MEA A"), Variant::I4(0)}), S_OK);
    EXPECT_EQ(Call(k, kDispGetTitle, {}, &title), S_OK);
    EXPECT_EQ(title.bstrVal, "MEA A");
    EXPECT_EQ(BoundingSize(k).cx, 0);
    EXPECT_EQ(Get(k, kDispSelectionMode).lVal, 1);
    EXPECT_EQ(Get(k, kDispColumns).lVal, 8);

    // The single array: 64 buttons on 8 columns with the static title.
    EXPECT_EQ(Call(k, kDispSetTitleType, {Variant::I4(0)}), S_OK);
    Variant names = StringArray(Labels(64));
    EXPECT_EQ(Call(k, kDispInitializeButtonsV,
                   {Variant::ByRef(&names), Variant::I4(1), Variant::I4(0), Variant::I2(0),
                    Variant::I2(64)}),
              S_OK);
    KeyrowSize size = BoundingSize(k);
    EXPECT_EQ(size.cx, 176);
    EXPECT_EQ(size.cy, 144 + 22);
    ASSERT_NE(c.Button(63), nullptr);
    EXPECT_EQ(c.Button(0)->text(), "E60");
    Variant hwid;
    EXPECT_EQ(Call(k, kDispGetHWIDFromIndex, {Variant::UI2(7)}, &hwid), S_OK);
    EXPECT_EQ(hwid.vt, VT_UI2);
    EXPECT_EQ(hwid.uiVal, 61);
    EXPECT_EQ(Call(k, kDispGetHWIDFromIndex, {Variant::I4(200)}, &hwid), S_OK);   // converted
    EXPECT_EQ(hwid.uiVal, 0);

    EXPECT_EQ(Put(k, kDispColumns, Variant::I4(4)), S_OK);
    EXPECT_EQ(Get(k, kDispColumns).lVal, 4);
    EXPECT_EQ(BoundingSize(k).cx, 88);
    EXPECT_EQ(Put(k, kDispSelectionMode, Variant::I4(7)), S_OK);
    EXPECT_EQ(Get(k, kDispSelectionMode).lVal, 1);

    // Selection, visibility and quad states by the "V" forms.
    Variant selected = UI2Array({61, 3});
    EXPECT_EQ(Call(k, kDispSetSelectedChannelsV, {Variant::ByRef(&selected), Variant::I4(1)}), S_OK);
    EXPECT_EQ(ChannelState(k, 61), 1);
    EXPECT_EQ(ChannelState(k, 4), 0);
    EXPECT_EQ(ChannelState(k, 300), -1);
    Variant shown = UI2Array({61});
    EXPECT_EQ(Call(k, kDispSetExistingChannelsV, {Variant::ByRef(&shown)}), S_OK);
    EXPECT_FALSE(c.Button(7)->isHidden());
    EXPECT_TRUE(c.Button(0)->isHidden());
    EXPECT_EQ(Call(k, kDispSetQuadSelectionState, {Variant::I4(2)}), S_OK);
    EXPECT_EQ(Call(k, kDispSetToggleDefaultQuadState, {Variant::I4(0)}), S_OK);
    Variant ids = UI2Array({61, 62});
    Variant states = UI2Array({1});
    EXPECT_EQ(Call(k, kDispSetQuadStatesV, {Variant::ByRef(&ids), Variant::ByRef(&states)}), S_OK);
    EXPECT_EQ(Call(k, kDispEnableControl, {Variant::Bool(false)}), S_OK);
    EXPECT_FALSE(c.Button(7)->isEnabled());
    EXPECT_EQ(Call(k, kDispEnableControl, {Variant::Bool(true)}), S_OK);
    EXPECT_TRUE(c.Button(7)->isEnabled());

    // The raw-pointer forms, in-process: a name block and hwid vectors.
    auto block = std::make_unique<KeyrowNameBlock>();
    for (int i = 0; i < 4; ++i)
        std::snprintf(block->names[i], kKeyrowNameSlotBytes, "R%d", i);
    block->count = 4;
    EXPECT_EQ(Call(k, kDispInitializeButtons,
                   {Variant::ByRefI4(reinterpret_cast<int32_t*>(block.get())), Variant::I4(0),
                    Variant::I4(0), Variant::I2(0), Variant::I2(4)}),
              S_OK);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(c.Button(2)->text(), "R2");
    std::vector<uint16_t> list = {2};
    auto* raw = reinterpret_cast<int32_t*>(&list);
    EXPECT_EQ(Call(k, kDispSetSelectedChannels, {Variant::ByRefI4(raw), Variant::I4(1)}), S_OK);
    EXPECT_EQ(ChannelState(k, 2), 1);
    EXPECT_EQ(Call(k, kDispSetExistingChannels, {Variant::ByRefI4(raw)}), S_OK);
    EXPECT_TRUE(c.Button(1)->isHidden());
    std::vector<uint16_t> quad = {3};
    EXPECT_EQ(Call(k, kDispSetQuadStates,
                   {Variant::ByRefI4(raw), Variant::ByRefI4(reinterpret_cast<int32_t*>(&quad))}),
              S_OK);
}

TEST_F(KeyrowCtrlTest, BadCallsGetComCodesAndChangeNothing)
{
    IDispatch* k = c.control.Get();
    MakePanel(k, 0, 8);
    std::vector<uint16_t> one = {1};
    ASSERT_EQ(Call(k, kDispSetSelectedChannels,
                   {Variant::ByRefI4(reinterpret_cast<int32_t*>(&one)), Variant::I4(0)}),
              S_OK);
    Variant selected = UI2Array({1});

    Variant strings = StringArray({"1"});
    SafeArray* twoDims = SafeArray::Create(VT_UI2, {{0, 2}, {0, 2}});
    ASSERT_NE(twoDims, nullptr);
    Variant matrix = Variant::Array(twoDims);
    SafeArray* shorts = SafeArray::CreateVector(VT_I2, 0, 1);
    ASSERT_NE(shorts, nullptr);
    Variant signedArray = Variant::Array(shorts);
    Variant empty;
    int32_t x = 0;
    struct Case {
        const char* name;
        DISPID id;
        uint16_t flags;
        std::vector<Variant> args;
        HRESULT expected;
    };
    std::vector<Case> cases;
    cases.push_back({"unknown id", 99, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND});
    cases.push_back({"event id on the dispatch interface", 0, DISPATCH_METHOD, {},
                     DISP_E_MEMBERNOTFOUND});
    cases.push_back({"a method put as property", kDispSetTitleType, DISPATCH_PROPERTYPUT,
                     {Variant::I4(1)}, DISP_E_MEMBERNOTFOUND});
    cases.push_back({"too few", kDispSetTitle, DISPATCH_METHOD, {Variant::Str("x")},
                     DISP_E_BADPARAMCOUNT});
    cases.push_back({"too many", kDispGetTitle, DISPATCH_METHOD, {Variant::I4(1)},
                     DISP_E_BADPARAMCOUNT});
    cases.push_back({"text for a number", kDispSetTitleType, DISPATCH_METHOD,
                     {Variant::Str("1")}, DISP_E_TYPEMISMATCH});
    cases.push_back({"number for a text", kDispSetTitle, DISPATCH_METHOD,
                     {Variant::I4(1), Variant::I4(0)}, DISP_E_TYPEMISMATCH});
    cases.push_back({"value for a pointer", kDispGetBoundingSize, DISPATCH_METHOD,
                     {Variant::I4(1), Variant::ByRefI4(&x)}, DISP_E_TYPEMISMATCH});
    cases.push_back({"null pointer", kDispGetBoundingSize, DISPATCH_METHOD,
                     {Variant::ByRefI4(nullptr), Variant::ByRefI4(&x)}, DISP_E_TYPEMISMATCH});
    cases.push_back({"index does not fit 16 bits", kDispGetHWIDFromIndex, DISPATCH_METHOD,
                     {Variant::I4(70000)}, DISP_E_TYPEMISMATCH});
    cases.push_back({"names for hwids", kDispSetSelectedChannelsV, DISPATCH_METHOD,
                     {Variant::ByRef(&strings), Variant::I4(0)}, DISP_E_TYPEMISMATCH});
    cases.push_back({"two dimensions", kDispSetSelectedChannelsV, DISPATCH_METHOD,
                     {Variant::ByRef(&matrix), Variant::I4(0)}, DISP_E_TYPEMISMATCH});
    cases.push_back({"signed elements", kDispSetExistingChannelsV, DISPATCH_METHOD,
                     {Variant::ByRef(&signedArray)}, DISP_E_TYPEMISMATCH});
    cases.push_back({"no array at all", kDispSetExistingChannelsV, DISPATCH_METHOD,
                     {Variant::ByRef(&empty)}, DISP_E_TYPEMISMATCH});
    cases.push_back({"hwids for names", kDispInitializeButtonsV, DISPATCH_METHOD,
                     {Variant::ByRef(&selected), Variant::I4(0), Variant::I4(0), Variant::I2(0),
                      Variant::I2(4)},
                     DISP_E_TYPEMISMATCH});
    cases.push_back({"second array wrong", kDispSetQuadStatesV, DISPATCH_METHOD,
                     {Variant::ByRef(&selected), Variant::ByRef(&strings)}, DISP_E_TYPEMISMATCH});
    for (Case& t : cases) {
        SCOPED_TRACE(t.name);
        DispParams params;
        params.args = t.args;
        Variant result;
        EXPECT_EQ(k->Invoke(t.id, t.flags, params, &result), t.expected);
    }
    // Nothing changed: the selection, the buttons, and the all-button event is still the raw one.
    EXPECT_EQ(ChannelState(k, 1), 1);
    EXPECT_EQ(ChannelState(k, 0), 0);
    EXPECT_FALSE(c.Button(0)->isHidden());
    EXPECT_EQ(c.Button(0)->text(), "E0");
    ASSERT_TRUE(c.Advise());
    MakePanel(k, 0, 8, " All ");
    c.Click(c.TitleButton());
    ASSERT_EQ(c.sink->events.size(), 1u);
    EXPECT_EQ(c.sink->events[0].id, kEvtFireAllClicked);

    // A zero-length array is a valid list.
    Variant none = UI2Array({});
    EXPECT_EQ(Call(k, kDispSetSelectedChannelsV, {Variant::ByRef(&none), Variant::I4(0)}), S_OK);
    EXPECT_EQ(ChannelState(k, 1), 0);
}

TEST_F(KeyrowCtrlTest, ClicksFireTheFourEvents)
{
    IDispatch* k = c.control.Get();
    ASSERT_TRUE(c.Advise());
    MakePanel(k, 0, 3, " All ");
    c.Click(c.Button(1));
    ASSERT_EQ(c.sink->events.size(), 1u);
    SeenEvent e = c.sink->events[0];
    EXPECT_EQ(e.id, kEvtButtonClicked);
    EXPECT_EQ(e.types, (std::vector<VARTYPE>{VT_BOOL, VT_I2}));
    EXPECT_NE(e.first, 0);
    EXPECT_EQ(e.hwid, 1);

    c.Click(c.TitleButton());   // 1 of 3 checked: select all
    e = c.sink->events.back();
    EXPECT_EQ(e.id, kEvtFireAllClicked);
    EXPECT_EQ(e.types, (std::vector<VARTYPE>{VT_BOOL, VT_BYREF | VT_I4}));
    EXPECT_NE(e.first, 0);
    EXPECT_EQ(e.hwids, (std::vector<uint16_t>{0, 1, 2}));
    EXPECT_EQ(ChannelState(k, 2), 1);

    // After one "V" call the array form fires, for good.
    Variant none = UI2Array({});
    ASSERT_EQ(Call(k, kDispSetSelectedChannelsV, {Variant::ByRef(&none), Variant::I4(0)}), S_OK);
    std::vector<uint16_t> raw = {0};
    ASSERT_EQ(Call(k, kDispSetSelectedChannels,
                   {Variant::ByRefI4(reinterpret_cast<int32_t*>(&raw)), Variant::I4(0)}),
              S_OK);
    c.Click(c.TitleButton());
    e = c.sink->events.back();
    EXPECT_EQ(e.id, kEvtFireAllClickedV);
    EXPECT_EQ(e.types, (std::vector<VARTYPE>{VT_BOOL, VT_BYREF | VT_VARIANT}));
    EXPECT_EQ(e.arrayType, kUI2Array);
    EXPECT_EQ(e.arrayLowerBound, 0);
    EXPECT_EQ(e.hwids, (std::vector<uint16_t>{0, 1, 2}));
    EXPECT_NE(e.first, 0);

    // Mode 3: the colour state toggles, each click reported.
    ASSERT_EQ(Put(k, kDispSelectionMode, Variant::I4(3)), S_OK);
    ASSERT_EQ(Call(k, kDispSetQuadSelectionState, {Variant::I4(1)}), S_OK);
    const size_t before = c.sink->events.size();
    for (int i = 0; i < 3; ++i)
        c.Click(c.Button(2));
    ASSERT_EQ(c.sink->events.size(), before + 3);
    const int32_t expected[] = {1, 0, 1};
    for (int i = 0; i < 3; ++i) {
        const SeenEvent& s = c.sink->events[before + static_cast<size_t>(i)];
        EXPECT_EQ(s.id, kEvtFireButtonStateChanged);
        EXPECT_EQ(s.types, (std::vector<VARTYPE>{VT_I4, VT_I2}));
        EXPECT_EQ(s.first, expected[i]);
        EXPECT_EQ(s.hwid, 2);
    }
}

TEST_F(KeyrowCtrlTest, ModeOneFiresOnlyForListedChannels)
{
    IDispatch* k = c.control.Get();
    ASSERT_TRUE(c.Advise());
    MakePanel(k, 1, 4);
    c.Click(c.Button(0));
    EXPECT_TRUE(c.sink->events.empty());
    EXPECT_EQ(ChannelState(k, 0), 0);
    Variant listed = UI2Array({0});
    ASSERT_EQ(Call(k, kDispSetSelectedChannelsV, {Variant::ByRef(&listed), Variant::I4(0)}), S_OK);
    c.Click(c.Button(0));
    ASSERT_EQ(c.sink->events.size(), 1u);
    EXPECT_EQ(c.sink->events[0].id, kEvtFireButtonStateChanged);
    EXPECT_EQ(c.sink->events[0].first, 1);
    EXPECT_EQ(ChannelState(k, 0), 1);
}

TEST_F(KeyrowCtrlTest, ASinkMayCallBackIntoTheControl)
{
    IDispatch* k = c.control.Get();
    ASSERT_TRUE(c.Advise());
    MakePanel(k, 0, 4, " All ");
    // As the export dialog does when it refuses a channel: re-synchronise, and disable.
    c.sink->onEvent = [k](const SeenEvent&) {
        Variant none = UI2Array({});
        EXPECT_EQ(Call(k, kDispSetSelectedChannelsV, {Variant::ByRef(&none), Variant::I4(0)}),
                  S_OK);
        EXPECT_EQ(Call(k, kDispEnableControl, {Variant::Bool(false)}), S_OK);
    };
    c.Click(c.Button(2));
    ASSERT_EQ(c.sink->events.size(), 1u);
    EXPECT_NE(c.sink->events[0].first, 0);   // what the event carried was collected before
    EXPECT_EQ(ChannelState(k, 2), 0);
    EXPECT_FALSE(c.Button(2)->isEnabled());
    EXPECT_FALSE(c.TitleButton()->isEnabled());

    ASSERT_EQ(Call(k, kDispEnableControl, {Variant::Bool(true)}), S_OK);
    c.Click(c.TitleButton());
    ASSERT_EQ(c.sink->events.size(), 2u);
    EXPECT_EQ(c.sink->events[1].hwids.size(), 4u);
    EXPECT_EQ(ChannelState(k, 0), 0);

    // A sink that rebuilds the panel from inside a click.
    ASSERT_EQ(Call(k, kDispEnableControl, {Variant::Bool(true)}), S_OK);
    c.sink->onEvent = [k](const SeenEvent&) {
        Variant names = StringArray(Labels(6, "N"));
        EXPECT_EQ(Call(k, kDispInitializeButtonsV,
                       {Variant::ByRef(&names), Variant::I4(0), Variant::I4(0), Variant::I2(0),
                        Variant::I2(6)}),
                  S_OK);
    };
    c.Click(c.Button(1));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_NE(c.Button(5), nullptr);
    EXPECT_EQ(c.Button(5)->text(), "N5");
}

TEST_F(KeyrowCtrlTest, ASinkMayReleaseTheLastReference)
{
    ASSERT_TRUE(c.Advise());
    MakePanel(c.control.Get(), 0, 2);
    KeyrowTestContainer* container = &c;
    c.sink->onEvent = [container](const SeenEvent&) {
        // Unadvise first, as a host closing its dialog would, then drop the control.
        ComPtr<IConnectionPointContainer> points;
        ComPtr<IConnectionPoint> point;
        ASSERT_EQ(container->control.As(IID_IConnectionPointContainer, &points), S_OK);
        ASSERT_EQ(points->FindConnectionPoint(kDKeyrowEventsIid, point.Address()), S_OK);
        point->Unadvise(container->cookie);
        container->cookie = 0;
        point = nullptr;
        points = nullptr;
        container->control = nullptr;
    };
    c.Click(c.Button(0));
    EXPECT_FALSE(c.control);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(c.window.isNull());
}

TEST_F(KeyrowCtrlTest, TheWindowMayGoFirst)
{
    IDispatch* k = c.control.Get();
    MakePanel(k, 0, 4);
    delete c.window.data();
    EXPECT_EQ(BoundingSize(k).cx, 0);
    EXPECT_EQ(ChannelState(k, 1), -1);
    MakePanel(k, 2, 4);
    Variant ids = UI2Array({1});
    EXPECT_EQ(Call(k, kDispSetExistingChannelsV, {Variant::ByRef(&ids)}), S_OK);
    EXPECT_EQ(Call(k, kDispEnableControl, {Variant::Bool(true)}), S_OK);
    // A window exists no more, but a second one is not made.
    void* window = nullptr;
    ComPtr<IWindowedControl> windowed;
    ASSERT_EQ(c.control.As(IID_IWindowedControl, &windowed), S_OK);
    EXPECT_EQ(windowed->CreateControlWindow(c.host.get(), 0, 0, 0, 0, 1, &window), S_OK);
    EXPECT_EQ(windowed->CreateControlWindow(c.host.get(), 0, 0, 0, 0, 1, &window), E_UNEXPECTED);
}

TEST_F(KeyrowCtrlTest, AboutBoxRunsModallyThroughItsDispatchId)
{
    QString caption;
    QStringList texts;
    QTimer::singleShot(50, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        caption = modal->windowTitle();
        for (QLabel* label : modal->findChildren<QLabel*>())
            texts << label->text();
        auto* ok = modal->findChild<QPushButton*>("KeyrowAboutOk");
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), "OK");
        ok->click();
    });
    EXPECT_EQ(Call(c.control.Get(), DISPID_ABOUTBOX), S_OK);
    EXPECT_EQ(caption, "About Keyrow Control");
    EXPECT_TRUE(texts.contains("Keyrow Control, Version 1.1.0"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(KeyrowCtrlTest, PropertyPageOpensOnItsOwn)
{
    ComPtr<IWindowedControl> page;
    ASSERT_EQ(CoCreateInstance(kKeyrowPropPageClsid, IID_IWindowedControl, page.VoidAddress()),
              S_OK);
    void* handle = nullptr;
    ASSERT_EQ(page->CreateControlWindow(c.host.get(), 0, 0, 0, 0, 1, &handle), S_OK);
    auto* widget = static_cast<QWidget*>(handle);
    EXPECT_EQ(widget->windowTitle(), "General");
    auto* text = widget->findChild<QLabel*>("KeyrowPropPageText");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(),
              "TODO: Place controls to manipulate properties of Keyrow Control on this dialog.");
    ComPtr<IDispatch> notDispatch;
    EXPECT_EQ(page.As(IID_IDispatch, &notDispatch), E_NOINTERFACE);
}
