#include "Sourcefiles/Reachability.hpp"
#include "platform/NotificationCenter.hpp"
#include "tests/support/Fakes.hpp"

namespace VeltoSDK {
namespace {

struct ReachabilityTest : testing::FakePlatformTest {
    std::vector<const void*> posted;  // every "reachabilityChanged" posted on `center`
    platform::NotificationCenter center;
    platform::NotificationCenter::Token token = center.addObserver(
        reachabilityChangedNotification(),
        [this](const std::string&, const void* object) { posted.push_back(object); });

    std::shared_ptr<Reachability> monitor() {
        std::shared_ptr<Reachability> made = Reachability::createForZeroAddress();
        made->setNotificationCenter(center);
        return made;
    }
    testing::FakeNetworkReachability& ref() { return *reachability.created.back(); }
};

TEST_F(ReachabilityTest, OnlyASuccessfulReadIsAnnounced) {
    reachability.failingReads = 1;
    auto m = monitor();
    EXPECT_EQ(m->currentConnection(), ConnectionType::Unavailable);
    EXPECT_FALSE(m->notifierRunning());
    EXPECT_EQ(mainQueue.runAll(), 0u);
    EXPECT_EQ(m->currentConnection(), ConnectionType::Wifi);
    EXPECT_EQ(ref().reads, 2);
    EXPECT_EQ(mainQueue.runAll(), 1u);
    EXPECT_EQ(posted, std::vector<const void*>{m.get()});
}

TEST_F(ReachabilityTest, AMonitorGoneBeforeTheMainQueueRunsIsNotAnnouncedAndIsDetached) {
    bool called = false;
    auto m = monitor();
    m->setWhenReachable([&](Reachability&) { called = true; });
    m->currentConnection();
    m.reset();
    EXPECT_FALSE(ref().callbackAttached || ref().queueAttached);
    EXPECT_EQ(mainQueue.runAll(), 1u);
    EXPECT_FALSE(called);
    EXPECT_TRUE(posted.empty());
}

}  // namespace
}  // namespace VeltoSDK
