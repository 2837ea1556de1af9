/// @file
/// The whole C++ interface in one include: Velto, VeltoParams, Event, HostInfo and the
/// version macros.
#pragma once

#include <VeltoSDK/version.h>
#include <VeltoSDK/Event.hpp>
#include <VeltoSDK/Handlers.hpp>
#include <VeltoSDK/HostInfo.hpp>
#include <VeltoSDK/Velto.hpp>
#include <VeltoSDK/VeltoParams.hpp>
