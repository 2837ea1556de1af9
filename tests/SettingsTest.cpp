#include <gtest/gtest.h>

#include <thread>

#include "Sourcefiles/VeltoSettings.hpp"
#include "support/Fakes.hpp"

namespace VeltoSDK {
namespace {

class SettingsTest : public testing::PlatformTest {};

TEST_F(SettingsTest, TimesAreWholeMillisecondsTruncated) {
    clock.seconds = 1700000000.1239;
    EXPECT_EQ(VeltoSettings::currentTimeMillis(), 1700000000123);
    clock.seconds = 1700000000.9999;
    EXPECT_EQ(VeltoSettings::currentTimeMillis(), 1700000000999);
}

TEST_F(SettingsTest, BlankIdIsStoredAndRefusedWithoutMovingStartTime) {
    VeltoSettings& settings = VeltoSettings::shared();
    clock.seconds = 1800000000.0;
    settings.setup(" 123 ");
    EXPECT_EQ(settings.pixelId(), " 123 ");
    EXPECT_EQ(settings.start_time(), 1800000000000);

    clock.seconds = 1800000005.0;
    settings.setup("\t\n");
    EXPECT_EQ(settings.pixelId(), "\t\n");
    EXPECT_EQ(settings.start_time(), 1800000000000);

    const auto lines = output.linesWithoutDate();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].starts_with("[\u2139\uFE0F] [VeltoSettings]:"));
    EXPECT_TRUE(lines[0].ends_with(" setup(_:) -> Kavro Tallyway SDK initialized"));
    EXPECT_TRUE(lines[1].starts_with("[\u203C\uFE0F] [VeltoSettings]:"));
    EXPECT_TRUE(lines[1].ends_with(" setup(_:) -> Invalid Pixel Id"));
}

TEST_F(SettingsTest, SecondSetupMovesStartTimeButNotInitTime) {
    VeltoSettings& settings = VeltoSettings::shared();
    const std::int64_t initTime = settings.init_time();
    clock.seconds = 1900000000.0;
    settings.setup("first");
    clock.seconds = 1900000010.0;
    settings.setup("second");
    EXPECT_EQ(settings.pixelId(), "second");
    EXPECT_EQ(settings.start_time(), 1900000010000);
    EXPECT_EQ(settings.init_time(), initTime);
}

TEST_F(SettingsTest, PixelIdIsSafeToReadWhileAnotherThreadSetsIt) {
    VeltoSettings& settings = VeltoSettings::shared();
    const std::string a(64, 'a'), b(64, 'b');
    settings.setup(a);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) settings.setup(i % 2 ? a : b);
        done = true;
    });
    while (!done) {
        std::string seen = settings.pixelId();
        ASSERT_TRUE(seen == a || seen == b) << seen;
    }
    writer.join();
}

}  // namespace
}  // namespace VeltoSDK
