// The control's type library table: what the container's dispatch calls are checked against.

#include "keyrow/core/KeyrowTypeLibrary.h"

#include <gtest/gtest.h>

#include "keyrow/core/KeyrowIds.h"

TEST(KeyrowTypeLibrary, IdentityAndMembers)
{
    const TypeLibraryInfo& lib = KeyrowTypeLibrary();
    EXPECT_EQ(lib.libid, kKeyrowLibid);
    EXPECT_EQ(lib.major, 1);
    EXPECT_EQ(lib.minor, 1);
    EXPECT_STREQ(lib.help, "Keyrow ActiveX Control module");
    EXPECT_STREQ(lib.helpFile, "KeyrowOcx.hlp");
    EXPECT_EQ(GuidToString(kKeyrowClsid), "{74E7051F-43D3-49EE-B64A-273480559707}");
    EXPECT_EQ(GuidToString(kKeyrowPropPageClsid), "{2288A356-FDE8-477D-BA37-AC70C2F7EF6E}");

    const InterfaceInfo* dispatch = lib.FindInterface(kDKeyrowIid);
    ASSERT_NE(dispatch, nullptr);
    EXPECT_EQ(GuidToString(dispatch->iid), "{BCF4CA4B-08F8-45A5-BB28-38A418633DA5}");
    int methods = 0;
    int properties = 0;
    for (const MemberInfo& m : dispatch->members)
        (m.flags & DISPATCH_PROPERTYGET) ? ++properties : ++methods;
    EXPECT_EQ(methods, 19);   // AboutBox and 18 numbered methods
    EXPECT_EQ(properties, 2);
    for (DISPID id = 1; id <= 20; ++id)
        EXPECT_NE(dispatch->Find(id), nullptr) << id;
    EXPECT_NE(dispatch->Find(DISPID_ABOUTBOX), nullptr);
    EXPECT_EQ(dispatch->Find(21), nullptr);
    EXPECT_EQ(dispatch->FindName("setselectedchannelsv")->id, kDispSetSelectedChannelsV);
    EXPECT_EQ(dispatch->Find(kDispInitializeButtonsV)->args[3].type, VT_I2);

    const InterfaceInfo* events = lib.FindInterface(kDKeyrowEventsIid);
    ASSERT_NE(events, nullptr);
    EXPECT_EQ(GuidToString(events->iid), "{4DBB507C-15B3-4408-BAA7-105FA597570A}");
    ASSERT_EQ(events->members.size(), 4u);
    EXPECT_STREQ(events->Find(kEvtFireAllClickedV)->name, "FireAllClickedV");
    EXPECT_EQ(events->Find(kEvtFireAllClickedV)->args[1].type, VT_BYREF | VT_VARIANT);
}

TEST(KeyrowTypeLibrary, CallsAreCheckedAgainstTheTable)
{
    const MemberInfo* getTitle = KeyrowTypeLibrary().FindInterface(kDKeyrowIid)->Find(kDispGetTitle);
    DispParams none;
    EXPECT_EQ(CheckArguments(*getTitle, DISPATCH_METHOD, none), S_OK);
    const MemberInfo* columns = KeyrowTypeLibrary().FindInterface(kDKeyrowIid)->Find(kDispColumns);
    DispParams put;
    put.args.push_back(Variant::I2(4));
    EXPECT_EQ(CheckArguments(*columns, DISPATCH_PROPERTYPUT, put), S_OK);
    EXPECT_EQ(CheckArguments(*columns, DISPATCH_PROPERTYGET, none), S_OK);
    EXPECT_EQ(CheckArguments(*columns, DISPATCH_PROPERTYGET, put), DISP_E_BADPARAMCOUNT);
}
