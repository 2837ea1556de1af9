#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.hpp"
#include "platform/LocaleInfo.hpp"
#include "platform/Services.hpp"
#include "platform/StandardOutput.hpp"

namespace VeltoSDK::testing {

class FakeClock final : public platform::Clock {
public:
    double seconds = 1700000000.0;
    double secondsSince1970() override { return seconds; }
};

// Collects what the library writes to standard output.
class CapturingOutput final : public platform::StandardOutput {
public:
    void write(std::string_view text) override;
    // Each write, as written (one log line with its line feed).
    std::vector<std::string> writes() const;
    // The log lines without the date prefix ("[tag] [file]:line function -> message").
    std::vector<std::string> linesWithoutDate() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> writes_;
};

class FakeLocale final : public platform::LocaleInfo {
public:
    std::string locale = "en_US";
    std::string zone = "UTC";
    std::optional<std::string> language = "en";
    std::string localeName() override { return locale; }
    std::string timeZoneId() override { return zone; }
    std::optional<std::string> languageCode() override { return language; }
};

// Installs the clock, output and locale fakes for one test.
class PlatformTest : public ::testing::Test {
protected:
    FakeClock clock;
    CapturingOutput output;
    FakeLocale locale;

private:
    platform::ScopedServices services_{
        {.clock = &clock, .localeInfo = &locale, .standardOutput = &output}};
};

}  // namespace VeltoSDK::testing
