#pragma once

#include <VeltoSDK/version.h>
#include <VeltoSDK/Event.hpp>
#include <VeltoSDK/HostInfo.hpp>
#include <VeltoSDK/Velto.hpp>
#include <VeltoSDK/VeltoParams.hpp>
