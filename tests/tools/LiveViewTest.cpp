#include "LiveView.hpp"

#include <gtest/gtest.h>

#include "RecordStore.hpp"

namespace {

using namespace VeltoSDK::collector;
using nlohmann::ordered_json;

TEST(RecordStore, KeepsTheNewestWithinBothBoundsAndCountsTheRest) {
    RecordStore store(3, 100);
    for (int i = 0; i < 5; ++i) {
        ordered_json record{{"id", 0}, {"n", i}};
        store.add(record);
        EXPECT_EQ(record["id"], i + 1);
    }
    const RecordStore::Snapshot kept = store.since(0), sliced = store.since(1, 2);
    EXPECT_EQ(kept.entries.size(), 3u);
    EXPECT_EQ(*kept.entries.front().json, R"({"id":3,"n":2})");
    EXPECT_EQ(kept.dropped, 2u);
    EXPECT_EQ(sliced.entries.size(), 2u);
    EXPECT_EQ(sliced.entries.back().id, 4u);

    ordered_json large{{"id", 0}, {"text", std::string(70, 'x')}};  // 88 bytes of JSON
    store.add(large);
    EXPECT_EQ(store.since(0).entries.size(), 1u);
    EXPECT_EQ(store.since(0).dropped, 5u);
}

TEST(LiveView, KnowsLoopbackHosts) {
    for (const char* host :
         {"127.0.0.1", "127.1.2.3", "localhost", "::1", "[::1]", "0:0:0:0:0:0:0:1"})
        EXPECT_TRUE(isLoopbackHost(host)) << host;
    for (const char* host :
         {"0.0.0.0", "::", "192.168.1.10", "128.0.0.1", "localhost.evil", "127.0.0.1.nip.io", ""})
        EXPECT_FALSE(isLoopbackHost(host)) << host;
}

}  // namespace
