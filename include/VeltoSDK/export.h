/** @file
 * The export macro of VeltoSDK, for C and C++ alike. */
#ifndef VELTOSDK_EXPORT_H
#define VELTOSDK_EXPORT_H

/** Marks what the shared library exports. The library is built with hidden visibility, so only
 * what carries this macro is visible to the app. */
#if defined(_WIN32)
#define VELTOSDK_API
#else
#define VELTOSDK_API __attribute__((visibility("default")))
#endif

#endif /* VELTOSDK_EXPORT_H */
