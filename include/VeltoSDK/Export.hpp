#pragma once

// The shared library is built with hidden visibility; only what carries this macro is exported.
#if defined(_WIN32)
#define VELTOSDK_API
#else
#define VELTOSDK_API __attribute__((visibility("default")))
#endif
