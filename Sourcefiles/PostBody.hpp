#pragma once

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace VeltoSDK {

class VeltoParams;

// The JSON object every event request carries, written member by member as the steps produce
// it: no tree is built on the host's thread. Each key is written once and no member is null.
class PostBody {
public:
    // A text the body cannot carry: not valid UTF-8, or too long. The body cannot be sent.
    class InvalidText : public std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    PostBody();
    PostBody(const PostBody&) = delete;
    PostBody& operator=(const PostBody&) = delete;

    // These throw InvalidText for a text the body cannot carry.
    void addText(std::string_view key, std::string_view text);
    void addNumber(std::string_view key, std::int64_t number);
    void addFlag(std::string_view key, bool flag);
    // The parts of `text` cut at every ","; blanks and empty parts stay.
    void addList(std::string_view key, std::string_view text);
    // "custom": one {"k": name, "v": [parts]} per addCustom between begin and end.
    void beginCustom();
    void addCustom(std::string_view name, std::string_view text);
    void endCustom();

    // The pretty-printed text; the body takes no more members.
    std::string finish();

private:
    void key(std::string_view name);
    void text(std::string_view member, std::string_view value);
    void list(std::string_view member, std::string_view text);

    rapidjson::StringBuffer buffer_;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer_;
};

// The whole body of an event, in the order of the four steps below. Throws InvalidText.
std::string buildPostBody(const VeltoParams* eventParams);

void addEventFields(const VeltoParams* eventParams, PostBody& body);
void addTimeFields(PostBody& body);
void addAppFields(PostBody& body);
void addDeviceFields(PostBody& body);

std::string deviceModelIdentifier();

}  // namespace VeltoSDK
