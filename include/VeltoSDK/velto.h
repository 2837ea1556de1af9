/* The C interface of VeltoSDK, usable from C99 and C++. */
#ifndef VELTOSDK_VELTO_H
#define VELTOSDK_VELTO_H

#include <stdbool.h>
#include <stddef.h>

#include <VeltoSDK/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Texts are UTF-8. A NULL text argument never crashes; each function says what it stands for.
 * Text getters follow snprintf: they return the full length in bytes (without the NUL), write
 * at most `size` bytes, always NUL-terminated when size > 0, and accept NULL with size 0. */

VELTOSDK_API extern const double VeltoSDKVersionNumber;
/* "@(#)PROGRAM:VeltoSDK  PROJECT:VeltoSDK-1" and a line feed, NUL-terminated. */
VELTOSDK_API extern const unsigned char VeltoSDKVersionString[];

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

/** The level of a log line, and the minimum level a line needs to be written at all. Ordered
 * from the most verbose; a line never has VELTO_LOG_OFF, which as a minimum silences all. */
typedef enum VeltoLogLevel {
    VELTO_LOG_DEBUG = 0, /**< the JSON body of each request, only while debug mode is on */
    VELTO_LOG_INFO = 1,  /**< progress: initialisation, each event, each accepted answer */
    VELTO_LOG_ERROR = 2, /**< refused events, failed transfers, requests not built */
    VELTO_LOG_OFF = 3    /**< as a minimum only: no line is written */
} VeltoLogLevel;

/** Receives one log line: `line` holds `length` bytes of its exact text, without the line
 * feed, followed by a NUL. The text is valid only during the call. */
typedef void (*VeltoLogHandler)(void* context, VeltoLogLevel level, const char* line,
                                size_t length);

/** Sends every log line to `handler` (with `context` as its first argument) instead of
 * standard output. NULL restores standard output, the default.
 * The handler runs on the thread that writes the line: the app's thread for the lines of
 * velto_initialize and velto_fireEvent, the HTTP worker for each answer's line; it may run on
 * several threads at once. It must return quickly and must not call velto_flush,
 * velto_fireEvent or the handler setters (it may replace itself).
 * Safe from any thread at any time. Once this returns, the replaced handler is neither running
 * nor called again (it waits for the calls in progress), so its context may be freed; a
 * handler that replaces itself may free its context once that call has returned. */
VELTOSDK_API void velto_setLogHandler(VeltoLogHandler handler, void* context);

/** The lowest level written. VELTO_LOG_DEBUG, the default, writes every line (debug lines
 * still only in debug mode); VELTO_LOG_INFO drops the debug lines, VELTO_LOG_ERROR the info
 * lines as well, VELTO_LOG_OFF every line. Any other value leaves the level unchanged.
 * Safe from any thread; takes effect from the next line. */
VELTOSDK_API void velto_setLogLevel(VeltoLogLevel level);
/** The level set with velto_setLogLevel. */
VELTOSDK_API VeltoLogLevel velto_logLevel(void);

/** How the answer to a handed-over event ended. */
typedef enum VeltoOutcomeKind {
    VELTO_OUTCOME_ACCEPTED = 0,        /**< status 200: "Data Posted Successfully" */
    VELTO_OUTCOME_REFUSED = 1,         /**< any other status; see VeltoRefusal */
    VELTO_OUTCOME_TRANSPORT_ERROR = 2, /**< no answer: connection, TLS, timeout, saturation */
    VELTO_OUTCOME_NOT_HTTP = 3         /**< an answer that is not HTTP */
} VeltoOutcomeKind;

/** Which refusal the server gave; VELTO_REFUSAL_NONE unless the kind is REFUSED. */
typedef enum VeltoRefusal {
    VELTO_REFUSAL_NONE = 0,
    VELTO_REFUSAL_NO_BODY = 1,               /**< "Error: did not receive data" */
    VELTO_REFUSAL_UNRECOGNISED_BODY = 2,     /**< "Error: " and the body */
    VELTO_REFUSAL_UNREGISTERED_PIXEL_ID = 3, /**< "UNREGISTERED_PIXEL_ID" */
    VELTO_REFUSAL_EVENT_FIELD_MISSING = 4,   /**< "PIXEL_MISSING_REQUIRED_FIELD" for "e" */
    VELTO_REFUSAL_UNSUPPORTED_EVENT = 5,     /**< "PIXEL_UNSUPPORTED_EVENT" */
    VELTO_REFUSAL_REQUIRED_FIELD_MISSING = 6 /**< any other answer of the pixel parser */
} VeltoRefusal;

/** The outcome of one handed-over event. The texts are NUL-terminated and valid only during
 * the handler's call; `message` is that of the event's last log line and may quote the
 * server's body. */
typedef struct VeltoOutcome {
    const char* eventName; /**< as given to velto_fireEvent */
    VeltoOutcomeKind kind;
    VeltoRefusal refusal;
    int statusCode; /**< the HTTP status; 0 for a transport error or an answer not HTTP */
    const char* message;
} VeltoOutcome;

typedef void (*VeltoOutcomeHandler)(void* context, const VeltoOutcome* outcome);

/** Calls `handler` (with `context`) once for every event handed over (velto_fireEvent
 * returned true), on the HTTP worker, after the event's line was written. An event not handed
 * over has no outcome. NULL removes the handler, none being set by default. The rules of
 * velto_setLogHandler hold: quick, no velto_flush, velto_fireEvent or handler setters inside,
 * and once this returns the replaced handler is neither running nor called again.
 * velto_flush counts an event as completed once its handler has returned, whatever the
 * outcome: refused events and failed transfers are completed too. */
VELTOSDK_API void velto_setOutcomeHandler(VeltoOutcomeHandler handler, void* context);

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
