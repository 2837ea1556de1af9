#pragma once

#include <VeltoSDK/Event.hpp>
#include <VeltoSDK/Handlers.hpp>
#include <VeltoSDK/HostInfo.hpp>
#include <VeltoSDK/Velto.hpp>
#include <VeltoSDK/VeltoParams.hpp>
