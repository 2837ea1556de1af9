#include "DeviceInfo.hpp"

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

}  // namespace

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
