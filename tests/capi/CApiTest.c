/* Drives the C interface from C: null rules, the snprintf contract, reference counting and
 * the JSON of the dictionary. */
#include <VeltoSDK/velto.h>

#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* From MixedHeaders.cpp: both headers in one C++ translation unit. */
int veltoMixedHeadersAgree(void);

static int failures = 0;

#define CHECK(condition)                                                                  \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            fprintf(stderr, "%s:%d: CHECK failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                                   \
        }                                                                                 \
    } while (0)

/* The JSON text of `params` equals `expected`; frees the text. */
static int jsonIs(const VeltoParams* params, const char* expected) {
    char* json = velto_params_dictionaryJSON(params);
    int same = json && strcmp(json, expected) == 0;
    if (!same) fprintf(stderr, "  JSON was %s, expected %s\n", json ? json : "(null)", expected);
    velto_free(json);
    return same;
}

static void versionValues(void) {
    static const char expected[] = "@(#)PROGRAM:VeltoSDK  PROJECT:VeltoSDK-1\n";
    CHECK(VeltoSDKVersionNumber == 1.0);
    CHECK(memcmp(VeltoSDKVersionString, expected, sizeof expected) == 0); /* NUL included */
}

static void eventNames(void) {
    CHECK(strcmp(VeltoEvent_PAGE_VIEW, "PageView") == 0);
    CHECK(strcmp(VeltoEvent_LANDING_PAGE, "LandingPage") == 0);
    CHECK(strcmp(VeltoEvent_ITEM_VIEW, "ItemView") == 0);
    CHECK(strcmp(VeltoEvent_ADD_TO_CART, "AddToCart") == 0);
    CHECK(strcmp(VeltoEvent_INITIATE_CHECKOUT, "InitiateCheckout") == 0);
    CHECK(strcmp(VeltoEvent_ADD_PAYMENT_INFO, "AddPaymentInfo") == 0);
    CHECK(strcmp(VeltoEvent_PURCHASE, "Purchase") == 0);
    CHECK(strcmp(VeltoEvent_LEAD, "Lead") == 0);
}

static void textGettersFollowSnprintf(void) {
    static const char url[] = "http://127.0.0.1:9/velto/mob?";
    const size_t length = sizeof url - 1;
    char buffer[64];

    velto_setBaseURL(url);
    CHECK(velto_baseURL(NULL, 0) == length);
    CHECK(velto_baseURL(NULL, 10) == length); /* no buffer: nothing written, no crash */

    memset(buffer, 'x', sizeof buffer);
    CHECK(velto_baseURL(buffer, 0) == length);
    CHECK(buffer[0] == 'x'); /* size 0 writes nothing */

    CHECK(velto_baseURL(buffer, 5) == length);
    CHECK(strcmp(buffer, "http") == 0);
    CHECK(buffer[5] == 'x'); /* never more than size bytes */

    CHECK(velto_baseURL(buffer, length) == length); /* one short: the last byte is lost */
    CHECK(strlen(buffer) == length - 1);
    CHECK(velto_baseURL(buffer, length + 1) == length);
    CHECK(strcmp(buffer, url) == 0);

    velto_setBaseURL(NULL);
    CHECK(velto_baseURL(buffer, sizeof buffer) == 0);
    CHECK(buffer[0] == '\0');

    /* Multi-byte text keeps its byte length. */
    velto_setBaseURL("http://127.0.0.1:9/\xc3\xa9?");
    CHECK(velto_baseURL(NULL, 0) == 22);
}

static void facade(void) {
    char buffer[64];

    velto_setDebugMode(true);
    CHECK(velto_debugMode());
    velto_setDebugMode(false);
    CHECK(!velto_debugMode());

    /* A NULL pixel id is the blank id: events are refused. */
    velto_initialize(NULL);
    CHECK(!velto_fireEvent(VeltoEvent_PAGE_VIEW, NULL));
    CHECK(!velto_fireEvent(NULL, NULL));

    /* Port 9 on loopback: any transfer started ends at once, refused. */
    velto_setBaseURL("http://127.0.0.1:9/velto/mob?");
    velto_initialize("pixel-1");
    VeltoParams* params = velto_params_initWithValue("9.99", "EUR", NULL, NULL, NULL);
    (void)velto_fireEvent(NULL, params); /* the result depends on the transport only */
    (void)velto_fireEvent(VeltoEvent_PURCHASE, params);
    velto_params_release(params);
    CHECK(velto_flush(10.0));
    CHECK(velto_baseURL(buffer, sizeof buffer) == 29);
}

static void paramsNullRules(void) {
    char buffer[16];
    VeltoParams* params = velto_params_init();
    CHECK(params != NULL);
    CHECK(jsonIs(params, "{}"));
    CHECK(velto_params_value(params, buffer, sizeof buffer) == 0 && buffer[0] == '\0');
    CHECK(jsonIs(params, "{}")); /* reading adds no key */

    /* NULL text to a setter or to put stores "". */
    velto_params_setValue(params, NULL);
    velto_params_setCurrency(params, NULL);
    velto_params_setItemId(params, NULL);
    velto_params_setItemType(params, NULL);
    velto_params_setItemName(params, NULL);
    velto_params_put(params, NULL, NULL);
    CHECK(
        jsonIs(params, "{\"\":\"\",\"c\":\"\",\"ii\":\"\",\"in\":\"\",\"itp\":\"\",\"va\":\"\"}"));
    velto_params_release(params);

    /* NULL arguments of the initialiser leave their keys out; "" is stored. */
    params = velto_params_initWithValue(NULL, NULL, NULL, NULL, NULL);
    CHECK(jsonIs(params, "{}"));
    velto_params_release(params);
    params = velto_params_initWithValue("", NULL, "A1", NULL, "Shoe");
    CHECK(jsonIs(params, "{\"ii\":\"A1\",\"in\":\"Shoe\",\"va\":\"\"}"));
    velto_params_release(params);

    /* A NULL object: setters do nothing, getters read "". */
    memset(buffer, 'x', sizeof buffer);
    CHECK(velto_params_value(NULL, buffer, sizeof buffer) == 0 && buffer[0] == '\0');
    CHECK(velto_params_currency(NULL, NULL, 0) == 0);
    CHECK(velto_params_itemId(NULL, buffer, 1) == 0);
    CHECK(velto_params_itemType(NULL, buffer, 1) == 0);
    CHECK(velto_params_itemName(NULL, buffer, 1) == 0);
    velto_params_setValue(NULL, "1");
    velto_params_setCurrency(NULL, "USD");
    velto_params_setItemId(NULL, "A");
    velto_params_setItemType(NULL, "B");
    velto_params_setItemName(NULL, "C");
    velto_params_put(NULL, "k", "v");
    CHECK(velto_params_retain(NULL) == NULL);
    velto_params_release(NULL);
    CHECK(velto_params_dictionaryJSON(NULL) == NULL);
    velto_free(NULL);
}

static void paramsProperties(void) {
    char buffer[8];
    VeltoParams* params = velto_params_initWithValue("25", "USD", "A1,B2", "shoe", "Runner");

    CHECK(velto_params_value(params, buffer, sizeof buffer) == 2 && strcmp(buffer, "25") == 0);
    CHECK(velto_params_currency(params, buffer, sizeof buffer) == 3 && strcmp(buffer, "USD") == 0);
    CHECK(velto_params_itemId(params, buffer, sizeof buffer) == 5 && strcmp(buffer, "A1,B2") == 0);
    CHECK(velto_params_itemType(params, buffer, sizeof buffer) == 4 && strcmp(buffer, "shoe") == 0);
    CHECK(velto_params_itemName(params, buffer, 4) == 6 && strcmp(buffer, "Run") == 0);

    /* put under a property key is the property; the last writer wins. */
    velto_params_put(params, "c", "EUR");
    CHECK(velto_params_currency(params, buffer, sizeof buffer) == 3 && strcmp(buffer, "EUR") == 0);
    velto_params_setItemId(params, "");
    CHECK(velto_params_itemId(params, buffer, sizeof buffer) == 0);
    CHECK(jsonIs(params,
                 "{\"c\":\"EUR\",\"ii\":\"\",\"in\":\"Runner\",\"itp\":\"shoe\",\"va\":\"25\"}"));
    velto_params_release(params);
}

static void dictionaryJSONEscapes(void) {
    VeltoParams* params = velto_params_init();
    velto_params_put(params, "q\"k", "back\\slash \"quoted\"");
    velto_params_put(params, "ctl", "a\x01\n\t\x1f");
    velto_params_put(params, "utf8", "\xe2\x82\xac \xc3\xbc \xf0\x9f\x98\x80");
    CHECK(jsonIs(params,
                 "{\"ctl\":\"a\\u0001\\n\\t\\u001f\","
                 "\"q\\\"k\":\"back\\\\slash \\\"quoted\\\"\","
                 "\"utf8\":\"\xe2\x82\xac \xc3\xbc \xf0\x9f\x98\x80\"}"));
    velto_params_release(params);

    /* Bytes that are not UTF-8 become U+FFFD rather than invalid JSON or no JSON. */
    params = velto_params_init();
    velto_params_put(params, "bad", "x\xff\xc3");
    CHECK(jsonIs(params, "{\"bad\":\"x\xef\xbf\xbd\xef\xbf\xbd\"}"));
    velto_params_release(params);
}

enum { kThreads = 4, kRounds = 20000 };

static void* retainAndRelease(void* params) {
    for (int i = 0; i < kRounds; ++i) {
        velto_params_retain((VeltoParams*)params);
        velto_params_release((VeltoParams*)params);
    }
    return NULL;
}

/* A sanitizer build reports a use after free or a leak if the count goes wrong. */
static void referenceCounting(void) {
    VeltoParams* params = velto_params_init();
    CHECK(velto_params_retain(params) == params); /* 2 */
    velto_params_release(params);                 /* 1 */
    velto_params_put(params, "still", "alive");
    CHECK(jsonIs(params, "{\"still\":\"alive\"}"));

    pthread_t threads[kThreads];
    for (int t = 0; t < kThreads; ++t) {
        CHECK(pthread_create(&threads[t], NULL, retainAndRelease, params) == 0);
    }
    for (int t = 0; t < kThreads; ++t) pthread_join(threads[t], NULL);
    CHECK(jsonIs(params, "{\"still\":\"alive\"}"));
    velto_params_release(params); /* 0: freed */
}

static void platformValues(void) {
    /* Every NULL has a meaning here; none may crash. */
    velto_platform_setMainBundleIdentifier("com.example.host");
    velto_platform_setMainBundleIdentifier(NULL);
    velto_platform_setSystemVersion("14.0.0");
    velto_platform_setSystemVersion(NULL);
    velto_platform_setAdvertisingIdentifier("e3a1f0c2-0b1d-4c5e-9f00-123456789abc");
    velto_platform_setAdvertisingIdentifier("not a uuid");
    velto_platform_setAdvertisingIdentifier(NULL);
    velto_platform_setAdvertisingTrackingEnabled(true);
    velto_platform_setAdvertisingTrackingEnabled(false);
    velto_platform_setTrackingAuthorizationStatus(3);
    velto_platform_setTrackingAuthorizationStatus(0);
    velto_platform_setCarrier("Carrier", "310", "260");
    velto_platform_setCarrier(NULL, NULL, NULL);
    velto_platform_clearCarrier();
}

int main(void) {
    versionValues();
    eventNames();
    textGettersFollowSnprintf();
    facade();
    paramsNullRules();
    paramsProperties();
    dictionaryJSONEscapes();
    referenceCounting();
    platformValues();
    CHECK(veltoMixedHeadersAgree());
    if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
    return failures ? EXIT_FAILURE : EXIT_SUCCESS;
}
