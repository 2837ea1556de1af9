#pragma once

#include <memory>
#include <string>

namespace VeltoSDK::bench {

// The work the library must do for each event on the thread that fires it, done the plainest
// way: three log lines with the library's date format in the current locale and zone, written
// to standard output; uname; the environment read; the route check; and the body built with the
// same JSON writer. What `next` returns is the body to post.
class FloorEvent {
public:
    explicit FloorEvent(std::string hostURL);
    ~FloorEvent();
    FloorEvent(const FloorEvent&) = delete;
    FloorEvent& operator=(const FloorEvent&) = delete;

    std::string next();

private:
    struct Tools;
    void writeLine(const std::string& message);

    std::string hostURL_;
    std::unique_ptr<Tools> tools_;
};

}  // namespace VeltoSDK::bench
