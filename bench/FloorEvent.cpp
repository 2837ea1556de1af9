#include "FloorEvent.hpp"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <sys/utsname.h>
#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "Sourcefiles/Log.hpp"
#include "platform/linux/Linux.hpp"

namespace VeltoSDK::bench {
namespace {

std::int64_t millisecondsSince1970() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

struct FloorEvent::Tools {
    std::unique_ptr<icu::SimpleDateFormat> date;
    std::shared_ptr<platform::NetworkReachability> route;
    std::int64_t started = millisecondsSince1970();
};

FloorEvent::FloorEvent(std::string hostURL) : hostURL_(std::move(hostURL)), tools_(new Tools) {
    UErrorCode status = U_ZERO_ERROR;
    const std::string_view pattern = Log::dateFormat;
    tools_->date = std::make_unique<icu::SimpleDateFormat>(
        icu::UnicodeString::fromUTF8(
            icu::StringPiece(pattern.data(), static_cast<int32_t>(pattern.size()))),
        icu::Locale::getDefault(), status);
    tools_->date->adoptTimeZone(icu::TimeZone::createDefault());
    sockaddr_in zero{};
    zero.sin_family = AF_INET;
    tools_->route = platform::linux_os::networkReachability().createWithAddress(zero);
}

FloorEvent::~FloorEvent() = default;

void FloorEvent::writeLine(const std::string& message) {
    icu::UnicodeString date;
    tools_->date->format(icu::Calendar::getNow(), date);
    std::string line;
    date.toUTF8String(line);
    line += " [i] [Floor]:1 next() -> ";
    line += message;
    line += '\n';
    (void)::write(STDOUT_FILENO, line.data(), line.size());
}

std::string FloorEvent::next() {
    writeLine("fireEvent API is getting called");
    writeLine("Velto Host URL " + hostURL_);

    utsname names{};
    (void)uname(&names);
    const char* simulated = std::getenv("SIMULATOR_MODEL_IDENTIFIER");
    std::uint32_t flags = 0;
    bool reachable = tools_->route && tools_->route->getFlags(flags) &&
                     (flags & platform::kReachabilityFlagReachable) != 0;

    // The members of the purchase example, in the library's order.
    rapidjson::StringBuffer buffer(nullptr, 1024);
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
    writer.StartObject();
    writer.Key("va");
    writer.String("25");
    writer.Key("c");
    writer.String("USD");
    writer.Key("ii");
    writer.StartArray();
    writer.String("A1");
    writer.String("B2");
    writer.EndArray();
    writer.Key("custom");
    writer.StartArray();
    writer.StartObject();
    writer.Key("k");
    writer.String("color");
    writer.Key("v");
    writer.StartArray();
    writer.String("red");
    writer.String("blue");
    writer.EndArray();
    writer.EndObject();
    writer.EndArray();
    writer.Key("et");
    writer.Int64(millisecondsSince1970());
    writer.Key("it");
    writer.Int64(tools_->started);
    writer.Key("st");
    writer.Int64(tools_->started);
    writer.Key("lang");
    writer.String(icu::Locale::getDefault().getLanguage());
    writer.Key("os");
    writer.String("iOS 12");
    writer.Key("devmake");
    writer.String("Apple");
    writer.Key("devmodel");
    writer.String(simulated ? simulated : names.machine);
    writer.Key("ifatype");
    writer.String("IDFA");
    writer.Key("conntype");
    writer.String(reachable ? "wifi" : "");
    writer.EndObject();

    writeLine("Velto Request post body constructed");
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace VeltoSDK::bench
