#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <thread>
#include <vector>

#include "Sourcefiles/Reachability.hpp"
#include "platform/NotificationCenter.hpp"
#include "tests/support/FakePlatform.hpp"

namespace VeltoSDK {
namespace {

constexpr std::uint32_t kReachable = platform::kReachabilityFlagReachable;

class ReachabilityTest : public testing::FakePlatformTest {
protected:
    // Records every "reachabilityChanged" posted on `center`.
    std::vector<const void*> posted;
    platform::NotificationCenter center;
    platform::NotificationCenter::Token token = center.addObserver(
        reachabilityChangedNotification(),
        [this](const std::string&, const void* object) { posted.push_back(object); });

    std::shared_ptr<Reachability> monitor(std::uint32_t flags = kReachable) {
        reachability.flags = flags;
        std::shared_ptr<Reachability> made = Reachability::createForZeroAddress();
        made->setNotificationCenter(center);
        return made;
    }
    testing::FakeNetworkReachability& ref() { return *reachability.created.back(); }
};

TEST_F(ReachabilityTest, OnlyTheReachableBitDecides) {
    const std::pair<std::uint32_t, ConnectionType> cases[] = {
        {kReachable, ConnectionType::Wifi},
        {kReachable | 0x4 | 0x40000, ConnectionType::Wifi},  // with "connection required", WWAN
        {0xFFFFFFFF, ConnectionType::Wifi},
        {0, ConnectionType::Unavailable},
        {~kReachable, ConnectionType::Unavailable},
    };
    for (auto [flags, expected] : cases) {
        EXPECT_EQ(monitor(flags)->currentConnection(), expected) << flags;
    }
}

TEST_F(ReachabilityTest, ReadsOnceAndAnnouncesOnce) {
    auto m = monitor();
    EXPECT_EQ(m->flags(), std::nullopt);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(m->currentConnection(), ConnectionType::Wifi);
    EXPECT_EQ(ref().getFlagsCalls, 1);
    EXPECT_EQ(m->flags(), kReachable);
    // Nothing runs before the main queue does; without callbacks it only posts.
    EXPECT_TRUE(posted.empty());
    EXPECT_EQ(mainQueue.runAll(), 1u);
    EXPECT_EQ(posted, std::vector<const void*>{m.get()});
}

TEST_F(ReachabilityTest, AFailedReadStopsTheNotifierAndIsRetried) {
    reachability.failingReads = 1;
    auto m = monitor();
    EXPECT_EQ(m->currentConnection(), ConnectionType::Unavailable);
    EXPECT_EQ(m->flags(), std::nullopt);
    EXPECT_EQ(ref().setCallbackCalls, 1);
    EXPECT_EQ(ref().setDispatchQueueCalls, 1);
    EXPECT_FALSE(m->notifierRunning());
    EXPECT_EQ(mainQueue.pending(), 0u);

    EXPECT_EQ(m->currentConnection(), ConnectionType::Wifi);
    EXPECT_EQ(ref().getFlagsCalls, 2);
    EXPECT_EQ(mainQueue.pending(), 1u);
}

TEST_F(ReachabilityTest, AnnouncementCallsTheCallbackChosenAtReadTime) {
    std::vector<std::string> calls;
    auto record = [&](const char* what) {
        return [&calls, what, this](Reachability&) {
            // Each callback runs before its own notification.
            EXPECT_EQ(posted.size(), calls.size());
            calls.push_back(what);
        };
    };
    auto reachable = monitor(kReachable);
    reachable->setWhenReachable(record("reachable"));
    reachable->setWhenUnreachable(record("unreachable"));
    reachable->currentConnection();
    // Set after the read: not the one the announcement took.
    reachable->setWhenReachable(record("late"));

    auto unreachable = monitor(0);
    unreachable->setWhenReachable(record("reachable"));
    unreachable->setWhenUnreachable(record("unreachable"));
    unreachable->currentConnection();

    mainQueue.runAll();
    EXPECT_EQ(calls, (std::vector<std::string>{"reachable", "unreachable"}));
    EXPECT_EQ(posted.size(), 2u);
}

TEST_F(ReachabilityTest, AMonitorGoneBeforeTheMainQueueRunsIsNotAnnounced) {
    bool called = false;
    {
        auto m = monitor();
        m->setWhenReachable([&](Reachability&) { called = true; });
        m->currentConnection();
    }
    EXPECT_EQ(mainQueue.runAll(), 1u);
    EXPECT_FALSE(called);
    EXPECT_TRUE(posted.empty());
}

TEST_F(ReachabilityTest, DestructionDetachesEvenIfNeverQueried) {
    monitor().reset();
    EXPECT_EQ(ref().setCallbackCalls, 1);
    EXPECT_EQ(ref().setDispatchQueueCalls, 1);
    EXPECT_FALSE(ref().callbackAttached);
    EXPECT_FALSE(ref().queueAttached);
    EXPECT_EQ(ref().getFlagsCalls, 0);
}

TEST_F(ReachabilityTest, CreatesForTheIPv4ZeroAddressOrNotAtAll) {
    auto m = Reachability::createForZeroAddress();
    ASSERT_TRUE(m);
    ASSERT_EQ(reachability.addresses.size(), 1u);
    const sockaddr_in& address = reachability.addresses[0];
    EXPECT_EQ(address.sin_family, AF_INET);
    EXPECT_EQ(address.sin_port, 0);
    EXPECT_EQ(address.sin_addr.s_addr, INADDR_ANY);

    EXPECT_EQ(m->reachableOnWWAN(), true);
    EXPECT_EQ(m->allowsCellularConnection(), true);
    EXPECT_EQ(&m->notificationCenter(), &platform::NotificationCenter::defaultCenter());
    EXPECT_EQ(m->isRunningOnDevice(), false);
    EXPECT_EQ(m->notifierRunning(), false);
    EXPECT_EQ(m->queueQoS(), Reachability::QualityOfService::Default);
    EXPECT_EQ(m->targetQueue(), nullptr);

    reachability.failCreation = true;
    EXPECT_EQ(Reachability::createForZeroAddress(), nullptr);
}

// The announcement runs on the main queue's thread while the event thread drops the monitor:
// it must see either a live monitor or none, never a dying one.
TEST_F(ReachabilityTest, AnnouncementRacesWithDestruction) {
    std::atomic<int> callbacks{0};
    for (int round = 0; round < 200; ++round) {
        auto m = monitor();
        m->setWhenReachable([&](Reachability& r) {
            EXPECT_EQ(r.flags(), kReachable);
            ++callbacks;
        });
        m->currentConnection();
        std::thread main([this] { mainQueue.runAll(); });
        m.reset();
        main.join();
    }
    EXPECT_LE(callbacks.load(), 200);
    EXPECT_EQ(static_cast<size_t>(callbacks.load()), posted.size());
}

}  // namespace
}  // namespace VeltoSDK
