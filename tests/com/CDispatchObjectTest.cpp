// Invoke by dispatch id against the member table, the type information behind it, and
// QueryInterface of a dispatch object.

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/com/ComTestObjects.h"

int CLocalControl::s_live = 0;

namespace {

const MemberInfo& Member(DISPID id)
{
    const MemberInfo* member =
        TestServerLibrary().FindInterface(kTestServerDispatchIid)->Find(id);
    EXPECT_NE(member, nullptr);
    return *member;
}

DispParams Args(std::vector<Variant> args)
{
    DispParams params;
    params.args = std::move(args);
    return params;
}

TEST(ComCheckArguments, CountsKindsAndTypes)
{
    int16_t shortValue = 0;
    int32_t longValue = 0;
    Variant array = MakeUI2Array({1});
    struct Case
    {
        const char* what;
        DISPID id;
        uint16_t flags;
        std::vector<Variant> args;
        HRESULT expected;
    };
    const Case cases[] = {
        {"method", kTestAdd, DISPATCH_METHOD, {Variant::I4(1), Variant::I4(2)}, S_OK},
        {"method with get too", kTestAdd, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
         {Variant::I4(1), Variant::I4(2)}, S_OK},
        {"method as put", kTestAdd, DISPATCH_PROPERTYPUT, {Variant::I4(1), Variant::I4(2)},
         DISP_E_MEMBERNOTFOUND},
        {"too few", kTestAdd, DISPATCH_METHOD, {Variant::I4(1)}, DISP_E_BADPARAMCOUNT},
        {"too many", kTestAdd, DISPATCH_METHOD,
         {Variant::I4(1), Variant::I4(2), Variant::I4(3)}, DISP_E_BADPARAMCOUNT},
        {"short for long", kTestAdd, DISPATCH_METHOD, {Variant::I2(-4), Variant::UI2(65535)},
         S_OK},
        {"bool for long", kTestAdd, DISPATCH_METHOD, {Variant::Bool(true), Variant::I4(0)}, S_OK},
        {"string for long", kTestAdd, DISPATCH_METHOD, {Variant::Str("1"), Variant::I4(2)},
         DISP_E_TYPEMISMATCH},
        {"empty for long", kTestAdd, DISPATCH_METHOD, {Variant(), Variant::I4(2)},
         DISP_E_TYPEMISMATCH},
        {"property get", kTestLabel, DISPATCH_PROPERTYGET, {}, S_OK},
        {"property get with a value", kTestLabel, DISPATCH_PROPERTYGET, {Variant::Str("x")},
         DISP_E_BADPARAMCOUNT},
        {"property put", kTestLabel, DISPATCH_PROPERTYPUT, {Variant::Str("x")}, S_OK},
        {"property put without value", kTestLabel, DISPATCH_PROPERTYPUT, {},
         DISP_E_BADPARAMCOUNT},
        {"property as method", kTestLabel, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND},
        {"number for string", kTestLabel, DISPATCH_PROPERTYPUT, {Variant::I4(1)},
         DISP_E_TYPEMISMATCH},
        {"variant by reference", kTestSetIds, DISPATCH_METHOD, {Variant::ByRef(&array)}, S_OK},
        {"array by value for variant by reference", kTestSetIds, DISPATCH_METHOD, {array},
         DISP_E_TYPEMISMATCH},
        {"null reference", kTestSetIds, DISPATCH_METHOD, {Variant::ByRef(nullptr)},
         DISP_E_TYPEMISMATCH},
        {"short pointers", kTestVersion, DISPATCH_METHOD,
         {Variant::ByRefI2(&shortValue), Variant::ByRefI2(&shortValue)}, S_OK},
        {"long pointer for short pointer", kTestVersion, DISPATCH_METHOD,
         {Variant::ByRefI4(&longValue), Variant::ByRefI2(&shortValue)}, DISP_E_TYPEMISMATCH},
        {"value for pointer", kTestVersion, DISPATCH_METHOD, {Variant::I2(1), Variant::I2(1)},
         DISP_E_TYPEMISMATCH},
        {"bool from any number", kTestFireIds, DISPATCH_METHOD, {Variant::I4(5)}, S_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CheckArguments(Member(c.id), c.flags, Args(c.args)), c.expected);
    }
}

TEST(ComCheckArguments, IntegralValuesMustFitTheDeclaredType)
{
    const MemberInfo ui2 = {9, "U", DISPATCH_METHOD, {{"v", VT_UI2}}, VT_EMPTY};
    const MemberInfo i2 = {9, "S", DISPATCH_METHOD, {{"v", VT_I2}}, VT_EMPTY};
    EXPECT_EQ(CheckArguments(ui2, DISPATCH_METHOD, Args({Variant::I4(65535)})), S_OK);
    EXPECT_EQ(CheckArguments(ui2, DISPATCH_METHOD, Args({Variant::I4(65536)})),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(CheckArguments(ui2, DISPATCH_METHOD, Args({Variant::I2(-1)})), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(CheckArguments(ui2, DISPATCH_METHOD, Args({Variant::Bool(true)})),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(CheckArguments(i2, DISPATCH_METHOD, Args({Variant::UI2(32767)})), S_OK);
    EXPECT_EQ(CheckArguments(i2, DISPATCH_METHOD, Args({Variant::UI2(32768)})),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(CheckArguments(i2, DISPATCH_METHOD, Args({Variant::I4(-32769)})),
              DISP_E_TYPEMISMATCH);
}

TEST(ComDispatchObject, InvokeChecksThenHandsOverDeclaredTypes)
{
    ComPtr<CLocalControl> control;
    control.Attach(new CLocalControl);
    DispParams add = Args({Variant::I2(-4), Variant::UI2(60000)});
    Variant result = Variant::Str("old");
    ASSERT_EQ(control->Invoke(kTestAdd, DISPATCH_METHOD, add, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 59996);
    ASSERT_EQ(control->lastArgs.size(), 2u);
    EXPECT_EQ(control->lastArgs[0].vt, VT_I4); // converted before the member saw it
    EXPECT_EQ(control->lastArgs[0].lVal, -4);
    EXPECT_EQ(add.args[0].vt, VT_I2);          // the caller's arguments are left alone

    control->lastArgs.clear();
    DispParams bad = Args({Variant::I4(1)});
    EXPECT_EQ(control->Invoke(kTestAdd, DISPATCH_METHOD, bad, &result), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(control->Invoke(777, DISPATCH_METHOD, bad, &result), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(control->Invoke(DISPID_ABOUTBOX, DISPATCH_METHOD, bad, &result),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_TRUE(control->lastArgs.empty()); // refused calls never reach the member

    DispParams put = Args({Variant::Str("Ch \xB5V")});
    ASSERT_EQ(control->Invoke(kTestLabel, DISPATCH_PROPERTYPUT, put, nullptr), S_OK);
    DispParams none;
    ASSERT_EQ(control->Invoke(kTestLabel, DISPATCH_PROPERTYGET, none, &result), S_OK);
    EXPECT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(result.bstrVal, "Ch \xB5V");

    control->throwNext = true;
    EXPECT_EQ(control->Invoke(kTestLabel, DISPATCH_PROPERTYGET, none, &result),
              DISP_E_EXCEPTION);
}

TEST(ComDispatchObject, NamesAndTypeInformationComeFromTheTable)
{
    ComPtr<CLocalControl> control;
    control.Attach(new CLocalControl);
    DISPID id = 0;
    EXPECT_EQ(control->GetIDsOfNames("setids", &id), S_OK);
    EXPECT_EQ(id, kTestSetIds);
    EXPECT_EQ(control->GetIDsOfNames("Nothing", &id), DISP_E_UNKNOWNNAME);

    uint32_t count = 0;
    EXPECT_EQ(control->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(control->GetTypeInfo(1, info.Address()), DISP_E_BADINDEX);
    ASSERT_EQ(control->GetTypeInfo(0, info.Address()), S_OK);
    IID iid;
    ASSERT_EQ(info->GetGuid(&iid), S_OK);
    EXPECT_EQ(iid, kTestServerDispatchIid);
    std::string name;
    std::string help;
    ASSERT_EQ(info->GetDocumentation(kTestFireIds, &name, &help), S_OK);
    EXPECT_EQ(name, "FireIds");

    // What the host checks before it uses the control: the containing library's version.
    ComPtr<ITypeLib> library;
    uint32_t index = 99;
    ASSERT_EQ(info->GetContainingTypeLib(library.Address(), &index), S_OK);
    EXPECT_EQ(index, 0u);
    info.Reset(); // the library outlives the type information it came from
    TLibAttr attributes;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_EQ(attributes.guid, kTestServerLibid);
    EXPECT_EQ(attributes.wMajorVerNum, 1);
    EXPECT_EQ(attributes.wMinorVerNum, 1);
    EXPECT_EQ(library->GetTypeInfoCount(), 2u);
    std::string helpFile;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &help, &helpFile), S_OK);
    EXPECT_EQ(name, "ComTestServerLib");
    EXPECT_EQ(library->GetDocumentation(2, &name, &help, &helpFile), TYPE_E_ELEMENTNOTFOUND);
}

TEST(ComDispatchObject, QueryInterfaceAndReferenceCounting)
{
    const int before = CLocalControl::s_live;
    CLocalControl* control = new CLocalControl;
    ComPtr<IDispatch> dispatch;
    dispatch.Attach(control);
    ComPtr<IUnknown> unknown;
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IDispatch> byOwnIid;
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(dispatch.As(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(dispatch.As(IID_IConnectionPointContainer, &container), S_OK);
    EXPECT_EQ(dispatch.As(kTestServerDispatchIid, &byOwnIid), S_OK);
    EXPECT_EQ(dispatch.As(IID_IClassFactory, &factory), E_NOINTERFACE);
    EXPECT_FALSE(factory);
    EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(dispatch.Get()));

    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(kTestServerDispatchIid, point.Address()),
              CONNECT_E_NOCONNECTION);
    ASSERT_EQ(container->FindConnectionPoint(kTestServerEventsIid, point.Address()), S_OK);
    IID iid;
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_EQ(iid, kTestServerEventsIid);

    dispatch.Reset();
    unknown.Reset();
    container.Reset();
    byOwnIid.Reset();
    EXPECT_EQ(CLocalControl::s_live, before + 1); // the connection point holds its owner
    point.Reset();
    EXPECT_EQ(CLocalControl::s_live, before);
}

} // namespace
