#include <gtest/gtest.h>

#include <VeltoSDK/Velto.hpp>

#include <thread>

#include "Sourcefiles/VeltoSettings.hpp"
#include "support/Fakes.hpp"

namespace VeltoSDK {
namespace {

class SettingsTest : public testing::PlatformTest {};

TEST_F(SettingsTest, BlankIdIsStoredAndRefusedWithoutMovingStartTime) {
    VeltoSettings& settings = VeltoSettings::shared();
    const std::int64_t initTime = settings.init_time();
    clock.seconds = 1800000000.9999;  // whole milliseconds, truncated
    settings.setup(" 123 ");
    EXPECT_EQ(settings.start_time(), 1800000000999);
    clock.seconds = 1800000005.0;
    settings.setup("\t\n");
    EXPECT_EQ(settings.pixelId(), "\t\n");
    EXPECT_EQ(settings.start_time(), 1800000000999);
    EXPECT_EQ(settings.init_time(), initTime);

    const auto lines = output.linesWithoutDate();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].starts_with("[\u2139\uFE0F] [VeltoSettings]:"));
    EXPECT_TRUE(lines[0].ends_with(" setup(_:) -> Kavro Tallyway SDK initialized"));
    EXPECT_TRUE(lines[1].starts_with("[\u203C\uFE0F] [VeltoSettings]:"));
    EXPECT_TRUE(lines[1].ends_with(" setup(_:) -> Invalid Pixel Id"));
}

// Texts another thread replaces are read whole, never torn.
TEST_F(SettingsTest, PixelIdAndBaseURLAreSafeToReadWhileSet) {
    VeltoSettings& settings = VeltoSettings::shared();
    Velto& velto = Velto::shared();
    const std::string original = velto.baseURL();
    const std::string a(64, 'a'), b(64, 'b');
    settings.setup(a);
    velto.setBaseURL(a);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i)
            settings.setup(i % 2 ? a : b), velto.setBaseURL(i % 2 ? a : b);
        done = true;
    });
    while (!done) {
        for (const std::string& seen : {settings.pixelId(), velto.baseURL()})
            ASSERT_TRUE(seen == a || seen == b) << seen;
    }
    writer.join();
    velto.setBaseURL(original);
}

}  // namespace
}  // namespace VeltoSDK
