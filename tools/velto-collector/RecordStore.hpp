// Part of the reference collector, an independent check of what the library sends. It shares
// no code with the library on purpose: a fault copied into both would agree with itself.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace VeltoSDK::collector {

// The last records received, for the page and its API. Each record gets the next id; past
// `maxRecords` or `maxBytes` the oldest go, and are counted. Records are kept as JSON text,
// shared with readers, so a reader never copies a body under the lock.
class RecordStore {
public:
    static constexpr std::size_t kMaxRecords = 10000;
    // Bodies may be up to 1 MiB: the count alone would let memory grow to gigabytes.
    static constexpr std::size_t kMaxBytes = std::size_t{64} << 20;

    struct Entry {
        std::uint64_t id;
        std::shared_ptr<const std::string> json;
    };
    struct Snapshot {
        std::uint64_t dropped = 0;
        std::vector<Entry> entries;  // oldest first
    };

    explicit RecordStore(std::size_t maxRecords = kMaxRecords, std::size_t maxBytes = kMaxBytes)
        : maxRecords_(maxRecords), maxBytes_(maxBytes) {}

    // Sets the record's "id" member to the next id and keeps the record.
    void add(nlohmann::ordered_json& record);

    // Up to `limit` records with an id above `after`.
    Snapshot since(std::uint64_t after, std::size_t limit = SIZE_MAX) const;

    // Waits until a record with an id above `after` has arrived (true) or, for at most
    // `timeout`, in vain (true as well); false once the store is closed.
    bool waitBeyond(std::uint64_t after, std::chrono::milliseconds timeout) const;

    // Wakes every waiter for good: the server is stopping.
    void close();

private:
    const std::size_t maxRecords_;
    const std::size_t maxBytes_;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::deque<Entry> entries_;
    std::size_t bytes_ = 0;
    std::uint64_t lastId_ = 0;
    std::uint64_t dropped_ = 0;
    bool closed_ = false;
};

}  // namespace VeltoSDK::collector
