#include <algorithm>
#include <memory>

#include "Sourcefiles/BodySteps.hpp"
#include "Sourcefiles/HostValues.hpp"
#include "Sourcefiles/Reachability.hpp"
#include "platform/DeviceInfo.hpp"
#include "platform/LocaleInfo.hpp"
#include "platform/Platform.hpp"

namespace VeltoSDK {
namespace {

// Each machine byte is one character, so a byte is trimmed when its code point (the same
// number) is in Cc (U+0000-U+001F, U+007F-U+009F) or Cf (U+00AD in this range).
bool isControlOrFormat(unsigned char byte) {
    return byte <= 0x1F || (byte >= 0x7F && byte <= 0x9F) || byte == 0xAD;
}

// Bytes above 127 are taken as the characters U+0080-U+00FF and written in UTF-8, so the
// identifier keeps its information and the body always serialises.
std::string latin1ToUTF8(std::string_view bytes) {
    if (std::all_of(bytes.begin(), bytes.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return std::string(bytes);  // ASCII, the usual machine name, reads the same
    }
    std::string text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

void addLanguage(PostBody& body) {
    std::optional<std::string> language = platform::current().localeInfo->languageCode();
    if (language && !language->empty()) body.addText("lang", *language);
}

void addTrackingPermission(PostBody& body, platform::DeviceInfo& device, const HostValues& host) {
    bool from14 = host.systemVersion ? platform::versionIsAtLeast(*host.systemVersion, 14, 0, 0)
                                     : device.isOperatingSystemAtLeast(14, 0, 0);
    if (from14) {
        switch (host.trackingAuthorizationStatus.value_or(device.trackingAuthorizationStatus())) {
            case 3:  // authorized
                body.addFlag("late", false);
                break;
            case 2:  // denied
                body.addFlag("late", true);
                break;
            default:  // not determined or restricted: the user has not decided
                break;
        }
    } else {
        body.addFlag("late", !host.advertisingTrackingEnabled.value_or(
                                 device.isAdvertisingTrackingEnabled()));
    }
}

// "" when no monitor can be made: the connection is then as unknown as an unreadable one.
const char* connectionTypeText(Reachability* monitor) {
    if (!monitor) return "";
    if (monitor->currentConnection() == ConnectionType::Wifi) return "wifi";
    if (monitor->currentConnection() == ConnectionType::Cellular) return "wan";
    return "";
}

using CarrierProperty = std::optional<std::string> (platform::Carrier::*)();

// Read once to see whether there is a value, then use a second reading.
void addCarrierProperty(PostBody& body, const char* key, platform::Carrier& carrier,
                        CarrierProperty property) {
    std::optional<std::string> first = (carrier.*property)();
    if (!first || first->empty()) return;
    body.addText(key, (carrier.*property)().value_or(std::string()));
}

// "" when the identifier is all zeros.
std::string advertisingIdentifierText(platform::DeviceInfo& device, const HostValues& host) {
    platform::UUID identifier =
        host.advertisingIdentifier ? *host.advertisingIdentifier : device.advertisingIdentifier();
    if (std::all_of(identifier.begin(), identifier.end(), [](std::uint8_t b) { return b == 0; })) {
        return {};
    }
    return platform::uuidString(identifier);
}

// The host's carrier, as it was when the event began.
class HostCarrier final : public platform::Carrier {
public:
    explicit HostCarrier(HostInfo::Carrier carrier) : carrier_(std::move(carrier)) {}
    std::optional<std::string> carrierName() override { return carrier_.name; }
    std::optional<std::string> mobileCountryCode() override { return carrier_.mobileCountryCode; }
    std::optional<std::string> mobileNetworkCode() override { return carrier_.mobileNetworkCode; }

private:
    HostInfo::Carrier carrier_;
};

}  // namespace

std::string deviceModelIdentifier() {
    platform::DeviceInfo& device = *platform::current().deviceInfo;
    if (std::optional<std::string> simulated =
            device.environmentValue("SIMULATOR_MODEL_IDENTIFIER")) {
        return std::move(*simulated);
    }
    std::string machine = device.unameMachine();
    std::string_view bytes = machine;
    while (!bytes.empty() && isControlOrFormat(static_cast<unsigned char>(bytes.front()))) {
        bytes.remove_prefix(1);
    }
    while (!bytes.empty() && isControlOrFormat(static_cast<unsigned char>(bytes.back()))) {
        bytes.remove_suffix(1);
    }
    return latin1ToUTF8(bytes);
}

void addDeviceFields(PostBody& body) { addDeviceFieldsFor(body, *hostValues()); }

void addDeviceFieldsFor(PostBody& body, const HostValues& host) {
    platform::DeviceInfo& device = *platform::current().deviceInfo;
    addLanguage(body);
    body.addText("os",
                 "iOS " + (host.systemVersion ? *host.systemVersion : device.systemVersion()));
    body.addText("devmake", "Apple");
    if (std::string model = deviceModelIdentifier(); !model.empty()) {
        body.addText("devmodel", model);
    }
    if (std::string identifier = advertisingIdentifierText(device, host); !identifier.empty()) {
        body.addText("ifa", identifier);
    }
    body.addText("ifatype", "IDFA");
    addTrackingPermission(body, device, host);

    // Lives until the end of the step; its destruction detaches it from the platform.
    std::shared_ptr<Reachability> monitor = Reachability::createForZeroAddress();
    body.addText("conntype", connectionTypeText(monitor.get()));

    std::unique_ptr<platform::Carrier> carrier = host.carrier
                                                     ? std::make_unique<HostCarrier>(*host.carrier)
                                                     : device.subscriberCellularProvider();
    if (carrier) {
        addCarrierProperty(body, "carrier", *carrier, &platform::Carrier::carrierName);
        addCarrierProperty(body, "mcc", *carrier, &platform::Carrier::mobileCountryCode);
        addCarrierProperty(body, "mnc", *carrier, &platform::Carrier::mobileNetworkCode);
    }
}

}  // namespace VeltoSDK
