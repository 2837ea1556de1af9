/// @file
/// The export macro of the shared library.
#pragma once

/// Marks what the shared library exports. The library is built with hidden visibility, so
/// only what carries this macro (and the C functions) is visible to the app.
#if defined(_WIN32)
#define VELTOSDK_API
#else
#define VELTOSDK_API __attribute__((visibility("default")))
#endif
