// Part of the reference collector, an independent check of what the library sends. It shares
// no code with the library on purpose: a fault copied into both would agree with itself.
#pragma once

#include <string>

#include <httplib.h>

#include "RecordStore.hpp"

namespace VeltoSDK::collector {

// Pages open at once; each holds a server thread while it streams.
inline constexpr int kMaxStreams = 8;

// Serves the page at "/", the kept records at "/api/events" and new ones as server-sent events
// at "/api/stream". Add before any catch-all route. With `loopbackOnly`, requests must name a
// loopback host, so that a web site a browser visits cannot reach them through a DNS name it
// points at 127.0.0.1.
void addLiveView(httplib::Server& server, RecordStore& store, bool loopbackOnly);

// True for "localhost" and the loopback addresses, with or without brackets.
bool isLoopbackHost(const std::string& host);

}  // namespace VeltoSDK::collector
