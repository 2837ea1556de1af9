#include "platform/NotificationCenter.hpp"

#include <vector>

namespace VeltoSDK::platform {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter* center = new NotificationCenter;  // lives until the process ends
    return *center;
}

NotificationCenter::Token NotificationCenter::addObserver(std::string name, Observer observer) {
    std::lock_guard lock(mutex_);
    Token token = nextToken_++;
    observers_.emplace(token, Registration{std::move(name), std::move(observer)});
    return token;
}

void NotificationCenter::removeObserver(Token token) {
    std::lock_guard lock(mutex_);
    observers_.erase(token);
}

void NotificationCenter::post(const std::string& name, const void* object) {
    // Observers run outside the lock, so they may add or remove observers themselves.
    std::vector<Observer> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [token, registration] : observers_) {
            if (registration.name == name) matching.push_back(registration.observer);
        }
    }
    for (const Observer& observer : matching) observer(name, object);
}

}  // namespace VeltoSDK::platform
