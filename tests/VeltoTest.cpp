#include <VeltoSDK/Event.hpp>
#include <VeltoSDK/Velto.hpp>

#include <thread>

#include "Sourcefiles/VeltoSettings.hpp"
#include "tests/support/Fakes.hpp"

namespace VeltoSDK {
namespace {

class VeltoTest : public testing::FakePlatformTest {};

// A blank id replaces a good one, but events wait for a good one and start time stays.
TEST_F(VeltoTest, BlankPixelIdIsStoredButRefusesEvents) {
    VeltoSettings& settings = VeltoSettings::shared();
    const std::int64_t initTime = settings.init_time();
    for (const char* id : {"", "\t\n", "\u3000"}) {
        clock.seconds = 1800000000.9999;  // whole milliseconds, truncated
        output.clear();
        Velto::initialize(" 123 ");
        clock.seconds = 1800000005.0;
        Velto::initialize(id);
        EXPECT_EQ(settings.pixelId(), id);
        EXPECT_EQ(settings.start_time(), 1800000000999);
        EXPECT_FALSE(Velto::fireEvent(Event::PURCHASE));
        EXPECT_EQ(output.lines(),
                  (std::vector<std::string>{
                      "[\u2139\uFE0F] [VeltoSettings] setup(_:) -> Kavro Tallyway SDK initialized",
                      "[\u203C\uFE0F] [VeltoSettings] setup(_:) -> Invalid Pixel Id",
                      "[\u203C\uFE0F] [Velto] fireEvent(_:eventParams:) -> Initialize not called. "
                      "Please call initialize atleast once before calling fireEvent"}))
            << id;
    }
    EXPECT_EQ(settings.init_time(), initTime);
}

// A client whose answer comes, on a thread of its own, before resume() returns.
struct AnsweringAtOnce final : platform::HttpClient, platform::DataTask {
    std::shared_ptr<platform::DataTask> dataTask(platform::HttpRequest,
                                                 platform::CompletionHandler handler) override {
        completion = std::move(handler);
        return {std::shared_ptr<void>(), this};  // not owned
    }
    bool resume() override {
        const platform::URLResponse ok{200};
        std::thread([&] { completion(std::string("{}"), &ok, nullptr); }).join();
        return true;
    }
    bool flush(double) override { return true; }
    platform::CompletionHandler completion;
};

// An event's lines go out with one write, and before the line of its answer however soon that
// comes.
TEST_F(VeltoTest, AnEventsLinesGoOutTogetherBeforeItsAnswers) {
    AnsweringAtOnce client;
    platform::ScopedPlatform answering([&](platform::Platform& p) {
        p = platform::current();
        p.httpClient = &client;
    });
    Velto::initialize("px-lines");
    output.clear();
    EXPECT_TRUE(Velto::fireEvent(Event::LEAD));
    const std::vector<std::string> lines = output.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(lines[0].ends_with("fireEvent API is getting called")) << lines[0];
    EXPECT_TRUE(lines[2].ends_with("Velto Request post body constructed")) << lines[2];
    EXPECT_TRUE(lines[3].ends_with("Data Posted Successfully")) << lines[3];
    EXPECT_EQ(output.writes().size(), 2u);
}

}  // namespace
}  // namespace VeltoSDK
