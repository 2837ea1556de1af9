#include "platform/DeviceInfo.hpp"

#include <array>
#include <charconv>

namespace VeltoSDK::platform {
namespace {

constexpr size_t kUUIDTextLength = 36;

bool isHyphenPosition(size_t i) { return i == 8 || i == 13 || i == 18 || i == 23; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The first three of the leading dotted numbers, as in "14", "17.2.1" or the kernel's
// "6.1.0-13-amd64", missing ones as 0. None when the text does not start with a number or a
// number is malformed ("14..0", "v14", "14x"). Read for every event, so nothing is allocated.
std::optional<std::array<long, 3>> leadingVersion(std::string_view text) {
    std::array<long, 3> numbers{};
    const char* position = text.data();
    const char* end = text.data() + text.size();
    for (std::size_t count = 0;; ++count) {
        long number = 0;
        auto [next, error] = std::from_chars(position, end, number);
        if (error != std::errc() || number < 0) return std::nullopt;
        if (count < numbers.size()) numbers[count] = number;
        position = next;
        if (position == end) return numbers;
        if (*position != '.') break;
        ++position;
    }
    constexpr std::string_view kSuffixStarts = "-+~ _";
    if (kSuffixStarts.find(*position) == std::string_view::npos) return std::nullopt;
    return numbers;
}

}  // namespace

bool versionIsAtLeast(std::string_view version, int major, int minor, int patch) {
    std::optional<std::array<long, 3>> numbers = leadingVersion(version);
    return numbers && *numbers >= std::array<long, 3>{major, minor, patch};
}

std::string uuidString(const UUID& uuid) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(kUUIDTextLength);
    for (size_t i = 0; i < uuid.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
        text.push_back(kDigits[uuid[i] >> 4]);
        text.push_back(kDigits[uuid[i] & 0x0F]);
    }
    return text;
}

std::optional<UUID> parseUUID(std::string_view text) {
    if (text.size() != kUUIDTextLength) return std::nullopt;
    UUID uuid{};
    size_t nibble = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (isHyphenPosition(i)) {
            if (text[i] != '-') return std::nullopt;
            continue;
        }
        int value = hexValue(text[i]);
        if (value < 0) return std::nullopt;
        uuid[nibble / 2] = static_cast<std::uint8_t>(uuid[nibble / 2] << 4 | value);
        ++nibble;
    }
    return uuid;
}

}  // namespace VeltoSDK::platform
