#include "Sourcefiles/PostBody.hpp"

#include <rapidjson/allocators.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <limits>
#include <type_traits>

#include "Sourcefiles/BodySteps.hpp"
#include "Sourcefiles/HostValues.hpp"
#include "Sourcefiles/UTF8.hpp"
#include "Sourcefiles/VeltoSettings.hpp"
#include "platform/BundleInfo.hpp"
#include "platform/Platform.hpp"

namespace VeltoSDK {
namespace {

// Room for the usual event, so the text is not copied while it grows; below 1 KiB, where the
// allocator's large sizes begin, which cost more to serve.
constexpr std::size_t kExpectedBodyBytes = 1000;
// Far below the longest text the writer can count.
constexpr std::size_t kShortText = 1 << 20;

// The writer's stack of open objects and arrays lives in the writer's own object: the body is
// at most four deep (the object, "custom", one of its objects, its "v").
using LevelAllocator = rapidjson::MemoryPoolAllocator<>;
constexpr std::size_t kLevels = 4;

// A RapidJSON output stream into a text that turns the hex digits of \u escapes to lower case.
class LowerCaseEscapes {
public:
    using Ch = char;
    explicit LowerCaseEscapes(std::string& text) : text_(text) {}
    void Put(char c) {
        if (hexDigitsLeft_ > 0) {
            --hexDigitsLeft_;
            if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
        } else if (afterBackslash_) {
            afterBackslash_ = false;
            if (c == 'u') hexDigitsLeft_ = 4;
        } else {
            afterBackslash_ = c == '\\';
        }
        text_.push_back(c);
    }
    void Flush() {}

private:
    std::string& text_;
    int hexDigitsLeft_ = 0;
    bool afterBackslash_ = false;
};

// Whether the writer would change any byte of `text`: it escapes the control characters, the
// quotation mark and the backslash, and copies every other byte as it is.
bool needsEscapes(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == '"' || byte == '\\';
    });
}

// With `kOwnKeys` every key is one of the library's own ASCII names and goes in as it is;
// otherwise keys are checked like texts.
template <typename Writer, typename Stream, bool kOwnKeys>
class JsonObject final : public PostBody {
public:
    explicit JsonObject(Stream& stream)
        : stream_(stream),
          levels_(levelRoom_, sizeof levelRoom_),
          writer_(stream, &levels_, kLevels) {
        writer_.StartObject();
    }

    void addText(std::string_view key, std::string_view text) override {
        this->key(key);
        this->text(key, text);
    }
    void addNumber(std::string_view key, std::int64_t number) override {
        this->key(key);
        char digits[std::numeric_limits<std::int64_t>::digits10 + 3];
        if (!putRaw({digits, std::to_chars(std::begin(digits), std::end(digits), number).ptr},
                    rapidjson::kNumberType)) {
            writer_.Int64(number);
        }
    }
    void addFlag(std::string_view key, bool flag) override {
        this->key(key);
        writer_.Bool(flag);
    }
    void addList(std::string_view key, std::string_view text) override {
        this->key(key);
        list(key, text);
    }
    void beginCustom() override {
        key("custom");
        writer_.StartArray();
    }
    void addCustom(std::string_view name, std::string_view text) override {
        writer_.StartObject();
        key("k");
        this->text("custom", name);
        key("v");
        list("custom", text);
        writer_.EndObject();
    }
    void endCustom() override { writer_.EndArray(); }

    void finish() { writer_.EndObject(); }

private:
    // The text as the writer takes it: repaired if it is not UTF-8, refused if it is too long.
    // Nearly every text is short and well-formed, and goes in as it is.
    static std::string_view writable(std::string_view member, std::string_view text,
                                     std::string& repaired) {
        if (text.size() <= kShortText && isValidUTF8(text)) [[likely]]
            return text;
        return checked(member, text, repaired);
    }
    [[gnu::noinline]] static std::string_view checked(std::string_view member,
                                                      std::string_view text,
                                                      std::string& repaired) {
        if (!isValidUTF8(text)) text = repaired = repairedUTF8(text);
        // The writer counts a text's bytes in 32 bits; a longer one would be cut, not refused.
        if (text.size() > std::numeric_limits<rapidjson::SizeType>::max()) {
            throw InvalidText("the text of \"" + std::string(member) + "\" is too long");
        }
        return text;
    }

    void key(std::string_view name) {
        std::string repaired;
        if constexpr (!kOwnKeys) name = writable(name, name, repaired);
        if (!putUnescaped(name)) {
            writer_.Key(name.data(), static_cast<rapidjson::SizeType>(name.size()));
        }
    }
    void text(std::string_view member, std::string_view value) {
        std::string repaired;
        value = writable(member, value, repaired);
        if (!putUnescaped(value)) {
            writer_.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
        }
    }
    // A string with nothing to escape, or a number's digits, go into the buffer in one copy,
    // where the writer would copy them a byte at a time, each byte's store waiting for the
    // buffer's end stored by the one before. An empty raw value has the writer put the separator
    // and the indentation first, and count the value as written. False when the stream is not
    // the buffer: the caller then has the writer write it.
    bool putRaw(std::string_view text, rapidjson::Type type) {
        if constexpr (std::is_same_v<Stream, rapidjson::StringBuffer>) {
            const bool quoted = type == rapidjson::kStringType;
            writer_.RawValue("", 0, type);
            char* out = stream_.Push(text.size() + (quoted ? 2 : 0));
            if (quoted) *out++ = '"';
            if (!text.empty()) std::memcpy(out, text.data(), text.size());
            if (quoted) out[text.size()] = '"';
            return true;
        } else {
            return false;
        }
    }
    bool putUnescaped(std::string_view text) {
        return !needsEscapes(text) && putRaw(text, rapidjson::kStringType);
    }
    void list(std::string_view member, std::string_view text) {
        writer_.StartArray();
        for (;;) {
            std::size_t comma = text.find(',');
            this->text(member, text.substr(0, comma));
            if (comma == std::string_view::npos) break;
            text.remove_prefix(comma + 1);
        }
        writer_.EndArray();
    }

    Stream& stream_;
    alignas(std::max_align_t) char levelRoom_[256];
    LevelAllocator levels_;
    Writer writer_;
};

}  // namespace

std::string prettyJSON(const std::function<void(PostBody&)>& members) {
    rapidjson::CrtAllocator allocator;  // given, so the buffer does not make one of its own
    rapidjson::StringBuffer buffer(&allocator, kExpectedBodyBytes);
    JsonObject<rapidjson::PrettyWriter<rapidjson::StringBuffer, rapidjson::UTF8<>,
                                       rapidjson::UTF8<>, LevelAllocator>,
               rapidjson::StringBuffer, true>
        object(buffer);
    members(object);
    object.finish();
    return std::string(buffer.GetString(), buffer.GetSize());
}

std::string compactJSON(const std::function<void(PostBody&)>& members) {
    std::string text;
    LowerCaseEscapes stream(text);
    JsonObject<
        rapidjson::Writer<LowerCaseEscapes, rapidjson::UTF8<>, rapidjson::UTF8<>, LevelAllocator>,
        LowerCaseEscapes, false>
        object(stream);
    members(object);
    object.finish();
    return text;
}

std::string buildPostBody(const VeltoParams* eventParams) {
    return prettyJSON([eventParams](PostBody& body) {
        addEventFields(eventParams, body);
        // "et" is taken before the device and the network are examined.
        addTimeFields(body);
        const std::shared_ptr<const HostValues> host = hostValues();
        addAppFields(body, *host);
        addDeviceFieldsFor(body, *host);
    });
}

void addTimeFields(PostBody& body) {
    VeltoSettings& settings = VeltoSettings::shared();
    body.addNumber("et", VeltoSettings::currentTimeMillis());
    body.addNumber("it", settings.init_time());
    body.addNumber("st", settings.start_time());
}

void addAppFields(PostBody& body, const HostValues& host) {
    platform::BundleInfo& bundle = *platform::current().bundleInfo;
    const std::optional<std::string>& given = host.mainBundleIdentifier;
    if (std::optional<std::string> appId = given ? given : bundle.mainBundleIdentifier()) {
        body.addText("appid", *appId);
    }
    if (std::optional<std::string> version = bundle.libraryShortVersion()) {
        body.addText("v", *version);
    }
}

}  // namespace VeltoSDK
