#include "PostBody.hpp"

#include <limits>

#include "../platform/BundleInfo.hpp"
#include "HostValues.hpp"
#include "UTF8.hpp"
#include "VeltoSettings.hpp"
#include "platform/Platform.hpp"

namespace VeltoSDK {
namespace {

// Room for the usual event, so the text is not copied while it grows.
constexpr std::size_t kExpectedBodyBytes = 1024;

rapidjson::SizeType sizeOf(std::string_view text) {
    return static_cast<rapidjson::SizeType>(text.size());
}

}  // namespace

PostBody::PostBody() : buffer_(nullptr, kExpectedBodyBytes), writer_(buffer_) {
    writer_.StartObject();
}

void PostBody::key(std::string_view name) { writer_.Key(name.data(), sizeOf(name)); }

// Keys are the library's own; every text from elsewhere is checked before it is written.
void PostBody::text(std::string_view member, std::string_view value) {
    // The writer counts a text's bytes in 32 bits; a longer one would be cut, not refused.
    if (value.size() > std::numeric_limits<rapidjson::SizeType>::max()) {
        throw InvalidText("the text of \"" + std::string(member) + "\" is too long");
    }
    if (!isValidUTF8(value)) {
        throw InvalidText("the text of \"" + std::string(member) + "\" is not valid UTF-8");
    }
    writer_.String(value.data(), sizeOf(value));
}

void PostBody::list(std::string_view member, std::string_view text) {
    writer_.StartArray();
    for (;;) {
        std::size_t comma = text.find(',');
        this->text(member, text.substr(0, comma));
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    writer_.EndArray();
}

void PostBody::addText(std::string_view key, std::string_view text) {
    this->key(key);
    this->text(key, text);
}

void PostBody::addNumber(std::string_view key, std::int64_t number) {
    this->key(key);
    writer_.Int64(number);
}

void PostBody::addFlag(std::string_view key, bool flag) {
    this->key(key);
    writer_.Bool(flag);
}

void PostBody::addList(std::string_view key, std::string_view text) {
    this->key(key);
    list(key, text);
}

void PostBody::beginCustom() {
    key("custom");
    writer_.StartArray();
}

void PostBody::addCustom(std::string_view name, std::string_view text) {
    writer_.StartObject();
    key("k");
    this->text("custom", name);
    key("v");
    list("custom", text);
    writer_.EndObject();
}

void PostBody::endCustom() { writer_.EndArray(); }

std::string PostBody::finish() {
    writer_.EndObject();
    return std::string(buffer_.GetString(), buffer_.GetSize());
}

std::string buildPostBody(const VeltoParams* eventParams) {
    PostBody body;
    addEventFields(eventParams, body);
    // "et" is taken before the device and the network are examined.
    addTimeFields(body);
    addAppFields(body);
    addDeviceFields(body);
    return body.finish();
}

void addTimeFields(PostBody& body) {
    VeltoSettings& settings = VeltoSettings::shared();
    body.addNumber("et", VeltoSettings::currentTimeMillis());
    body.addNumber("it", settings.init_time());
    body.addNumber("st", settings.start_time());
}

void addAppFields(PostBody& body) {
    platform::BundleInfo& bundle = *platform::current().bundleInfo;
    std::optional<std::string> given = hostValues()->mainBundleIdentifier;
    if (std::optional<std::string> appId = given ? given : bundle.mainBundleIdentifier()) {
        body.addText("appid", *appId);
    }
    if (std::optional<std::string> version = bundle.libraryShortVersion()) {
        body.addText("v", *version);
    }
}

}  // namespace VeltoSDK
