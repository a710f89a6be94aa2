// Advising sinks and firing events synchronously, also when sinks change the list mid-event.

#include <gtest/gtest.h>

#include "tests/com/ComTestObjects.h"

namespace {

template <class T>
ComPtr<T> Make(T* object)
{
    ComPtr<T> pointer;
    pointer.Attach(object);
    return pointer;
}

TEST(ComConnectionPoint, FiresToEverySinkInOrderWithTheArguments)
{
    auto control = Make(new CLocalControl);
    auto first = Make(new CRecordingSink("first"));
    auto second = Make(new CRecordingSink("second"));
    std::vector<std::string> order;
    first->order = second->order = &order;
    uint32_t cookieA = 0;
    uint32_t cookieB = 0;
    ASSERT_EQ(control->Events().Advise(static_cast<IDispatch*>(first.Get()), &cookieA), S_OK);
    ASSERT_EQ(control->Events().Advise(static_cast<IDispatch*>(second.Get()), &cookieB), S_OK);
    EXPECT_NE(cookieA, cookieB);

    FireIds(control->Events(), true, {5, 0, 260});
    EXPECT_EQ(order, std::vector<std::string>({"first", "second"}));
    ASSERT_EQ(first->calls.size(), 1u);
    EXPECT_EQ(first->calls[0].id, kTestEvtIdsFired);
    EXPECT_TRUE(first->calls[0].selected);
    EXPECT_EQ(first->calls[0].ids, std::vector<uint16_t>({5, 0, 260}));

    EXPECT_EQ(control->Events().Unadvise(cookieA), S_OK);
    EXPECT_EQ(control->Events().Unadvise(cookieA), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(control->Events().Unadvise(12345), CONNECT_E_NOCONNECTION);
    FireIds(control->Events(), false, {});
    EXPECT_EQ(first->calls.size(), 1u);
    ASSERT_EQ(second->calls.size(), 2u);
    EXPECT_FALSE(second->calls[1].selected);
    EXPECT_TRUE(second->calls[1].ids.empty());
}

TEST(ComConnectionPoint, RefusesSinksWithoutTheEventInterface)
{
    auto control = Make(new CLocalControl);
    auto notASink = Make(new CLocalControl); // answers the dispatch interface, not the events
    uint32_t cookie = 7;
    EXPECT_EQ(control->Events().Advise(static_cast<IDispatch*>(notASink.Get()), &cookie),
              CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(control->Events().Advise(nullptr, &cookie), E_POINTER);
    EXPECT_EQ(control->Events().SinkCount(), 0u);
}

TEST(ComConnectionPoint, SinkUnadvisingItselfDuringTheEvent)
{
    auto control = Make(new CLocalControl);
    auto sink = Make(new CRecordingSink);
    auto other = Make(new CRecordingSink);
    uint32_t cookie = 0;
    uint32_t otherCookie = 0;
    control->Events().Advise(static_cast<IDispatch*>(sink.Get()), &cookie);
    control->Events().Advise(static_cast<IDispatch*>(other.Get()), &otherCookie);
    sink->duringEvent = [&] { EXPECT_EQ(control->Events().Unadvise(cookie), S_OK); };
    sink.Reset(); // only the connection point holds the sink now
    FireIds(control->Events(), true, {1});
    // The sink lived through its own call although its last reference went in it.
    EXPECT_EQ(other->calls.size(), 1u);
    EXPECT_EQ(control->Events().SinkCount(), 1u);
}

TEST(ComConnectionPoint, SinkUnadvisingALaterSinkDuringTheEvent)
{
    auto control = Make(new CLocalControl);
    auto first = Make(new CRecordingSink);
    auto second = Make(new CRecordingSink);
    auto third = Make(new CRecordingSink);
    uint32_t cookies[3] = {};
    control->Events().Advise(static_cast<IDispatch*>(first.Get()), &cookies[0]);
    control->Events().Advise(static_cast<IDispatch*>(second.Get()), &cookies[1]);
    control->Events().Advise(static_cast<IDispatch*>(third.Get()), &cookies[2]);
    auto added = Make(new CRecordingSink);
    first->duringEvent = [&] {
        control->Events().Unadvise(cookies[1]);
        uint32_t cookie = 0;
        control->Events().Advise(static_cast<IDispatch*>(added.Get()), &cookie);
        first->duringEvent = nullptr;
    };
    FireIds(control->Events(), true, {2});
    EXPECT_EQ(first->calls.size(), 1u);
    EXPECT_EQ(second->calls.size(), 0u); // unadvised before its turn
    EXPECT_EQ(third->calls.size(), 1u);
    EXPECT_EQ(added->calls.size(), 0u);  // advised during the firing: the next one
    FireIds(control->Events(), true, {3});
    EXPECT_EQ(added->calls.size(), 1u);
    EXPECT_EQ(second->calls.size(), 0u);
}

TEST(ComConnectionPoint, SinkReleasingTheControlDuringTheEvent)
{
    const int before = CLocalControl::s_live;
    CLocalControl* control = new CLocalControl; // one reference, given to the sink's hook
    auto sink = Make(new CRecordingSink);
    auto later = Make(new CRecordingSink);
    uint32_t cookie = 0;
    control->Events().Advise(static_cast<IDispatch*>(sink.Get()), &cookie);
    control->Events().Advise(static_cast<IDispatch*>(later.Get()), &cookie);
    sink->duringEvent = [&] {
        sink->duringEvent = nullptr;
        control->Release();
    };
    FireIds(control->Events(), true, {4});
    EXPECT_EQ(later->calls.size(), 1u);          // the firing finished
    EXPECT_EQ(CLocalControl::s_live, before);    // and the control went afterwards
}

TEST(ComConnectionPoint, NestedFiringFromASink)
{
    auto control = Make(new CLocalControl);
    auto sink = Make(new CRecordingSink);
    uint32_t cookie = 0;
    control->Events().Advise(static_cast<IDispatch*>(sink.Get()), &cookie);
    int depth = 0;
    sink->duringEvent = [&] {
        if (++depth < 3)
            FireIds(control->Events(), false, {uint16_t(depth)});
    };
    FireIds(control->Events(), true, {0});
    ASSERT_EQ(sink->calls.size(), 3u);
    EXPECT_EQ(sink->calls[2].ids, std::vector<uint16_t>({2}));
}

} // namespace
