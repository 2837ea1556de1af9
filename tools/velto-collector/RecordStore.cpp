// Part of the reference collector, an independent check of what the library sends. It shares
// no code with the library on purpose: a fault copied into both would agree with itself.
#include "RecordStore.hpp"

#include <algorithm>

namespace VeltoSDK::collector {

void RecordStore::add(nlohmann::ordered_json& record) {
    std::lock_guard lock(mutex_);
    record["id"] = ++lastId_;
    auto text = std::make_shared<const std::string>(
        record.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
    bytes_ += text->size();
    entries_.push_back({lastId_, std::move(text)});
    while (!entries_.empty() && (entries_.size() > maxRecords_ || bytes_ > maxBytes_)) {
        bytes_ -= entries_.front().json->size();
        entries_.pop_front();
        ++dropped_;
    }
    arrived_.notify_all();
}

RecordStore::Snapshot RecordStore::since(std::uint64_t after, std::size_t limit) const {
    std::lock_guard lock(mutex_);
    Snapshot snapshot{dropped_, {}};
    auto first =
        std::upper_bound(entries_.begin(), entries_.end(), after,
                         [](std::uint64_t id, const Entry& entry) { return id < entry.id; });
    auto count = std::min<std::size_t>(limit, static_cast<std::size_t>(entries_.end() - first));
    snapshot.entries.assign(first, first + static_cast<std::ptrdiff_t>(count));
    return snapshot;
}

bool RecordStore::waitBeyond(std::uint64_t after, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, timeout, [&] { return closed_ || lastId_ > after; });
    return !closed_;
}

void RecordStore::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    arrived_.notify_all();
}

}  // namespace VeltoSDK::collector
