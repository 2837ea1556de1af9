/* The C interface of VeltoSDK, usable from C99 and C++. */
#ifndef VELTOSDK_VELTO_H
#define VELTOSDK_VELTO_H

#include <stdbool.h>
#include <stddef.h>

#include <VeltoSDK/version.h>
#include <VeltoSDK/Export.hpp>

#ifdef __cplusplus
extern "C" {
#endif

/* Texts are UTF-8. A NULL text argument never crashes; each function says what it stands for.
 * Text getters follow snprintf: they return the full length in bytes (without the NUL), write
 * at most `size` bytes, always NUL-terminated when size > 0, and accept NULL with size 0. */

VELTOSDK_API extern const double VeltoSDKVersionNumber;
/* "@(#)PROGRAM:VeltoSDK  PROJECT:VeltoSDK-1" and a line feed, NUL-terminated. */
VELTOSDK_API extern const unsigned char VeltoSDKVersionString[];
VELTOSDK_API const char* velto_version(void);

VELTOSDK_API extern const char* const VeltoEvent_PAGE_VIEW;
VELTOSDK_API extern const char* const VeltoEvent_LANDING_PAGE;
VELTOSDK_API extern const char* const VeltoEvent_ITEM_VIEW;
VELTOSDK_API extern const char* const VeltoEvent_ADD_TO_CART;
VELTOSDK_API extern const char* const VeltoEvent_INITIATE_CHECKOUT;
VELTOSDK_API extern const char* const VeltoEvent_ADD_PAYMENT_INFO;
VELTOSDK_API extern const char* const VeltoEvent_PURCHASE;
VELTOSDK_API extern const char* const VeltoEvent_LEAD;

/* The parameters of one event. Reference-counted (thread-safe), created with a count of 1.
 * Its contents are not locked: use one object from one thread at a time. */
typedef struct VeltoParams VeltoParams;

/* NULL pixel id -> "". */
VELTOSDK_API void velto_initialize(const char* pixelId);
/* NULL name -> "", NULL params -> no parameters. True when the request was handed over;
 * false also when memory runs out. */
VELTOSDK_API bool velto_fireEvent(const char* eventName, const VeltoParams* eventParams);
VELTOSDK_API size_t velto_baseURL(char* buffer, size_t size);
/* NULL -> "". */
VELTOSDK_API void velto_setBaseURL(const char* baseURL);
VELTOSDK_API bool velto_debugMode(void);
VELTOSDK_API void velto_setDebugMode(bool debugMode);
/* Waits for the transfers in flight; true when all completed within the timeout. */
VELTOSDK_API bool velto_flush(double timeoutSeconds);

/* Both return NULL when memory runs out. */
VELTOSDK_API VeltoParams* velto_params_init(void);
/* A NULL argument leaves its key out; "" is stored. */
VELTOSDK_API VeltoParams* velto_params_initWithValue(const char* value, const char* currency,
                                                     const char* itemId, const char* itemType,
                                                     const char* itemName);
/* Returns `params`; NULL gives NULL. */
VELTOSDK_API VeltoParams* velto_params_retain(VeltoParams* params);
/* Frees the object when the count reaches 0; NULL is a no-op. */
VELTOSDK_API void velto_params_release(VeltoParams* params);

/* A NULL `params` reads as "". */
VELTOSDK_API size_t velto_params_value(const VeltoParams* params, char* buffer, size_t size);
VELTOSDK_API size_t velto_params_currency(const VeltoParams* params, char* buffer, size_t size);
VELTOSDK_API size_t velto_params_itemId(const VeltoParams* params, char* buffer, size_t size);
VELTOSDK_API size_t velto_params_itemType(const VeltoParams* params, char* buffer, size_t size);
VELTOSDK_API size_t velto_params_itemName(const VeltoParams* params, char* buffer, size_t size);

/* A NULL text stores ""; a NULL `params` is a no-op. */
VELTOSDK_API void velto_params_setValue(VeltoParams* params, const char* value);
VELTOSDK_API void velto_params_setCurrency(VeltoParams* params, const char* currency);
VELTOSDK_API void velto_params_setItemId(VeltoParams* params, const char* itemId);
VELTOSDK_API void velto_params_setItemType(VeltoParams* params, const char* itemType);
VELTOSDK_API void velto_params_setItemName(VeltoParams* params, const char* itemName);
VELTOSDK_API void velto_params_put(VeltoParams* params, const char* key, const char* value);

/* All pairs as one compact JSON object text, free it with velto_free. NULL for NULL `params`
 * or when memory runs out. Bytes that are not UTF-8 come out as U+FFFD. */
VELTOSDK_API char* velto_params_dictionaryJSON(const VeltoParams* params);
VELTOSDK_API void velto_free(void* pointer);

/* Values the host supplies where the OS cannot. Each takes effect from the next event.
 * Defaults: no app identifier, the OS's version, the all-zero advertising id, tracking
 * disabled, status 0 (not determined), no carrier. */
/* NULL -> none. */
VELTOSDK_API void velto_platform_setMainBundleIdentifier(const char* identifier);
/* NULL -> the platform's own. */
VELTOSDK_API void velto_platform_setSystemVersion(const char* version);
/* A UUID in any letter case; NULL or anything else -> the all-zero id. */
VELTOSDK_API void velto_platform_setAdvertisingIdentifier(const char* uuidText);
VELTOSDK_API void velto_platform_setAdvertisingTrackingEnabled(bool enabled);
/* 0 not determined, 1 restricted, 2 denied, 3 authorized. */
VELTOSDK_API void velto_platform_setTrackingAuthorizationStatus(int status);
/* A NULL argument leaves that property out. */
VELTOSDK_API void velto_platform_setCarrier(const char* name, const char* mobileCountryCode,
                                            const char* mobileNetworkCode);
VELTOSDK_API void velto_platform_clearCarrier(void);

#ifdef __cplusplus
}
#endif

#endif /* VELTOSDK_VELTO_H */
