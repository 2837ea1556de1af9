/** @file
 * The C interface of VeltoSDK, usable from C99 and C++.
 *
 * Texts are UTF-8. A NULL text argument never crashes; each function says what it stands for.
 * Text getters follow snprintf: they return the full length in bytes (without the NUL), write
 * at most `size` bytes, always NUL-terminated when size > 0, and accept NULL with size 0.
 * No C++ exception leaves a function: when memory runs out, constructors return NULL, getters
 * read "", setters change nothing and functions returning bool return false.
 * Every function may be called from any thread, except that one VeltoParams object must be
 * used from one thread at a time (its reference count is the exception: it is thread-safe). */
#ifndef VELTOSDK_VELTO_H
#define VELTOSDK_VELTO_H

#include <stdbool.h>
#include <stddef.h>

#include <VeltoSDK/export.h>
#include <VeltoSDK/version.h>

#ifdef __cplusplus
extern "C" {
#endif

/** The value 1.0. The release is given by velto_version() and VELTOSDK_VERSION_STRING. */
VELTOSDK_API extern const double VeltoSDKVersionNumber;
/** "@(#)PROGRAM:VeltoSDK  PROJECT:VeltoSDK-1" and a line feed, NUL-terminated. */
VELTOSDK_API extern const unsigned char VeltoSDKVersionString[];
/** The version of the library linked at run time, such as "1.0.0" (never NULL, static
 *  storage). Compare it with VELTOSDK_VERSION_STRING, the version of the headers. */
VELTOSDK_API const char* velto_version(void);

/** The event name "PageView" (the same text as VeltoSDK::Event::PAGE_VIEW). */
VELTOSDK_API extern const char* const VeltoEvent_PAGE_VIEW;
/** The event name "LandingPage". */
VELTOSDK_API extern const char* const VeltoEvent_LANDING_PAGE;
/** The event name "ItemView". */
VELTOSDK_API extern const char* const VeltoEvent_ITEM_VIEW;
/** The event name "AddToCart". */
VELTOSDK_API extern const char* const VeltoEvent_ADD_TO_CART;
/** The event name "InitiateCheckout". */
VELTOSDK_API extern const char* const VeltoEvent_INITIATE_CHECKOUT;
/** The event name "AddPaymentInfo". */
VELTOSDK_API extern const char* const VeltoEvent_ADD_PAYMENT_INFO;
/** The event name "Purchase". */
VELTOSDK_API extern const char* const VeltoEvent_PURCHASE;
/** The event name "Lead". */
VELTOSDK_API extern const char* const VeltoEvent_LEAD;

/** The parameters of one event (the C handle of VeltoSDK::VeltoParams, a different type).
 *  Reference-counted (thread-safe), created with a count of 1.
 *  Its contents are not locked: use one object from one thread at a time. */
typedef struct VeltoParams VeltoParams;

/** Sets the pixel id that every following event carries; NULL pixel id -> "".
 *  An empty or blank id is stored and logged as an error, and events are then refused until
 *  a valid id is set. */
VELTOSDK_API void velto_initialize(const char* pixelId);
/** Builds the event's request and hands it to the HTTP client; returns at once.
 *  NULL name -> "", NULL params -> no parameters. The name goes into the URL unescaped: keep
 *  it to letters, digits and "_". The library keeps no reference to `eventParams`.
 *  @return true when the request was handed over; false when no valid pixel id is set, when
 *  the URL does not parse (a blank or non-ASCII character in the name or the id), when the
 *  HTTP client is saturated (10,000 transfers or 64 MiB of bodies waiting), and when memory
 *  runs out. Bytes of a parameter that are not UTF-8 go out as U+FFFD. */
VELTOSDK_API bool velto_fireEvent(const char* eventName, const VeltoParams* eventParams);
/** Copies the base URL (the text before the query) into `buffer`, snprintf-style, and
 *  returns its full length. The default is "https://<VELTOSDK_DEFAULT_HOST>/velto/mob?". */
VELTOSDK_API size_t velto_baseURL(char* buffer, size_t size);
/** Replaces the base URL for the events fired after the call; NULL -> "". The query is
 *  appended as it is, so the URL must end in "?". */
VELTOSDK_API void velto_setBaseURL(const char* baseURL);
/** Whether debug mode is on; off by default. */
VELTOSDK_API bool velto_debugMode(void);
/** In debug mode the log also gets each request's JSON body. */
VELTOSDK_API void velto_setDebugMode(bool debugMode);
/** Waits for the transfers in flight; true when all completed within the timeout, a failed
 *  transfer counting as completed. */
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
    VELTO_OUTCOME_TRANSPORT_ERROR = 2, /**< no answer: connection, TLS, timeout */
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
    VeltoOutcomeKind kind; /**< how the answer ended */
    VeltoRefusal refusal;  /**< VELTO_REFUSAL_NONE unless `kind` is VELTO_OUTCOME_REFUSED */
    int statusCode;        /**< the HTTP status; 0 for a transport error or an answer not HTTP */
    const char* message;   /**< the message of the event's last log line */
} VeltoOutcome;

/** Receives one event's outcome, with the context given to velto_setOutcomeHandler. The
 * outcome and its texts are valid only during the call. */
typedef void (*VeltoOutcomeHandler)(void* context, const VeltoOutcome* outcome);

/** Calls `handler` (with `context`) once for every event handed over (velto_fireEvent
 * returned true), on the HTTP worker, after the event's line was written. An event not handed
 * over has no outcome. NULL removes the handler, none being set by default. The rules of
 * velto_setLogHandler hold: quick, no velto_flush, velto_fireEvent or handler setters inside,
 * and once this returns the replaced handler is neither running nor called again.
 * velto_flush counts an event as completed once its handler has returned, whatever the
 * outcome: refused events and failed transfers are completed too. */
VELTOSDK_API void velto_setOutcomeHandler(VeltoOutcomeHandler handler, void* context);

/** A new, empty parameter object with a count of 1. NULL when memory runs out. */
VELTOSDK_API VeltoParams* velto_params_init(void);
/** A new parameter object with the five named properties, count 1. A NULL argument leaves its
 *  key out; "" is stored. NULL when memory runs out. */
VELTOSDK_API VeltoParams* velto_params_initWithValue(const char* value, const char* currency,
                                                     const char* itemId, const char* itemType,
                                                     const char* itemName);
/** Adds one to the count. Returns `params`; NULL gives NULL. */
VELTOSDK_API VeltoParams* velto_params_retain(VeltoParams* params);
/** Takes one from the count and frees the object when it reaches 0; NULL is a no-op. */
VELTOSDK_API void velto_params_release(VeltoParams* params);

/** The event's value ("va"), snprintf-style; "" when absent. A NULL `params` reads as "". */
VELTOSDK_API size_t velto_params_value(const VeltoParams* params, char* buffer, size_t size);
/** The currency ("c"), snprintf-style; as velto_params_value(). */
VELTOSDK_API size_t velto_params_currency(const VeltoParams* params, char* buffer, size_t size);
/** The item id or ids joined by "," ("ii"), snprintf-style; as velto_params_value(). */
VELTOSDK_API size_t velto_params_itemId(const VeltoParams* params, char* buffer, size_t size);
/** The item type or types ("itp"), snprintf-style; as velto_params_value(). */
VELTOSDK_API size_t velto_params_itemType(const VeltoParams* params, char* buffer, size_t size);
/** The item name or names ("in"), snprintf-style; as velto_params_value(). */
VELTOSDK_API size_t velto_params_itemName(const VeltoParams* params, char* buffer, size_t size);

/** Stores the event's value, replacing any earlier one. A NULL text stores ""; a NULL
 *  `params` is a no-op. */
VELTOSDK_API void velto_params_setValue(VeltoParams* params, const char* value);
/** Stores the currency; NULL rules as velto_params_setValue(). */
VELTOSDK_API void velto_params_setCurrency(VeltoParams* params, const char* currency);
/** Stores the item id or ids joined by ","; NULL rules as velto_params_setValue(). */
VELTOSDK_API void velto_params_setItemId(VeltoParams* params, const char* itemId);
/** Stores the item type or types; NULL rules as velto_params_setValue(). */
VELTOSDK_API void velto_params_setItemType(VeltoParams* params, const char* itemType);
/** Stores the item name or names; NULL rules as velto_params_setValue(). */
VELTOSDK_API void velto_params_setItemName(VeltoParams* params, const char* itemName);
/** Stores a free pair, replacing any earlier value of the key. A named property's key ("va",
 *  "c", "ii", "itp", "in") sets that property. A NULL key or value stores ""; a NULL `params`
 *  is a no-op. */
VELTOSDK_API void velto_params_put(VeltoParams* params, const char* key, const char* value);

/** All pairs as one compact JSON object text, free it with velto_free. NULL for NULL `params`
 *  or when memory runs out. Bytes that are not UTF-8 come out as U+FFFD. */
VELTOSDK_API char* velto_params_dictionaryJSON(const VeltoParams* params);
/** Frees a text the library returned; NULL is a no-op. */
VELTOSDK_API void velto_free(void* pointer);

/* Values the host supplies where the OS cannot. Each takes effect from the next event.
 * Defaults: no app identifier, the OS's version, the all-zero advertising id, tracking
 * disabled, status 0 (not determined), no carrier. */
/** The host app's identifier ("appid"); NULL -> none, which leaves "appid" out. */
VELTOSDK_API void velto_platform_setMainBundleIdentifier(const char* identifier);
/** Replaces the system version read from the OS; NULL -> the platform's own. */
VELTOSDK_API void velto_platform_setSystemVersion(const char* version);
/** The advertising identifier: a UUID in any letter case; NULL or anything else -> the
 *  all-zero id, which leaves "ifa" out. */
VELTOSDK_API void velto_platform_setAdvertisingIdentifier(const char* uuidText);
/** Whether the user allows tracking; false by default. Decides "late" below system version
 *  14. */
VELTOSDK_API void velto_platform_setAdvertisingTrackingEnabled(bool enabled);
/** The tracking decision, deciding "late" from system version 14 on: 0 not determined,
 *  1 restricted, 2 denied, 3 authorized; any other value counts as 0. */
VELTOSDK_API void velto_platform_setTrackingAuthorizationStatus(int status);
/** The cellular carrier. A NULL argument leaves that property out. */
VELTOSDK_API void velto_platform_setCarrier(const char* name, const char* mobileCountryCode,
                                            const char* mobileNetworkCode);
/** Removes the carrier: events carry none of "carrier", "mcc", "mnc". */
VELTOSDK_API void velto_platform_clearCarrier(void);

#ifdef __cplusplus
}
#endif

#endif /* VELTOSDK_VELTO_H */
