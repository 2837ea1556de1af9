#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace VeltoSDK {

class VeltoParams;

// A JSON object, written member by member as the steps produce it: no tree is built on the
// host's thread. Each key is written once and no member is null. Text that is not UTF-8 is
// written with U+FFFD in place of each ill-formed sequence.
class PostBody {
public:
    // A text longer than the writer can count (4 GiB). The body cannot be sent.
    class InvalidText : public std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    // These throw InvalidText.
    virtual void addText(std::string_view key, std::string_view text) = 0;
    virtual void addNumber(std::string_view key, std::int64_t number) = 0;
    virtual void addFlag(std::string_view key, bool flag) = 0;
    // The parts of `text` cut at every ","; blanks and empty parts stay.
    virtual void addList(std::string_view key, std::string_view text) = 0;
    // "custom": one {"k": name, "v": [parts]} per addCustom between begin and end.
    virtual void beginCustom() = 0;
    virtual void addCustom(std::string_view name, std::string_view text) = 0;
    virtual void endCustom() = 0;

protected:
    ~PostBody() = default;
};

// The text of the object that `members` writes: pretty-printed, as a request carries it, or
// compact, with the hex digits of \u escapes in lower case. The pretty one is for the body's
// steps, whose keys are the library's own ASCII names and are written unchecked; the compact
// one checks keys like texts.
std::string prettyJSON(const std::function<void(PostBody&)>& members);
std::string compactJSON(const std::function<void(PostBody&)>& members);

// The whole body of an event, from the four steps in their order. Throws InvalidText.
std::string buildPostBody(const VeltoParams* eventParams);

}  // namespace VeltoSDK
