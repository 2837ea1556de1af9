#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "platform/ForkSafety.hpp"

namespace VeltoSDK::platform {

// Delivers named notifications, each with an object, to the observers of that name.
class NotificationCenter {
public:
    using Observer = std::function<void(const std::string& name, const void* object)>;
    using Token = std::uint64_t;

    static NotificationCenter& defaultCenter();

    Token addObserver(std::string name, Observer observer);
    void removeObserver(Token token);
    // Calls the observers of `name` on the posting thread.
    void post(const std::string& name, const void* object);

private:
    struct Registration {
        std::string name;
        Observer observer;
    };
    ForkSafeMutex mutex_;
    Token nextToken_ = 1;
    std::map<Token, Registration> observers_;
};

}  // namespace VeltoSDK::platform
