/* Drives the C interface from C: each function reaches the library's behaviour, NULL and size
 * arguments are safe, and the reference count holds across threads. */
#include <VeltoSDK/velto.h>

#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* From MixedHeaders.cpp: both headers in one C++ translation unit. */
int veltoMixedHeadersAgree(void);

static int failures = 0;

#define CHECK(condition)                                                                     \
    ((condition) ? (void)0                                                                   \
                 : (void)(++failures, fprintf(stderr, "%s:%d: CHECK failed: %s\n", __FILE__, \
                                              __LINE__, #condition)))

/* The JSON text of `params` equals `expected`; frees the text. */
static int jsonIs(const VeltoParams* params, const char* expected) {
    char* json = velto_params_dictionaryJSON(params);
    int same = json && strcmp(json, expected) == 0;
    if (!same) fprintf(stderr, "  JSON was %s, expected %s\n", json ? json : "(null)", expected);
    velto_free(json);
    return same;
}

/* Each line's level and message, then the outcome, each after its context. The handlers run
 * one at a time: the app thread's lines come before the hand-over, the rest on the worker. */
static char told[8192];

static void logTo(void* context, VeltoLogLevel level, const char* line, size_t length) {
    const char* arrow = strstr(line, " -> ");
    size_t used = strlen(told);
    snprintf(told + used, sizeof told - used, "%s%d %s|", (const char*)context,
             (int)level + (strlen(line) == length ? 0 : 100), arrow ? arrow + 4 : line);
}

static void outcomeTo(void* context, const VeltoOutcome* o) {
    size_t used = strlen(told);
    snprintf(told + used, sizeof told - used, "%s%d %s %d %d %s|", (const char*)context,
             (int)o->kind, o->eventName, (int)o->refusal, o->statusCode, o->message);
}

/* Port 9 on loopback refuses the connection: each event ends in a transport error. */
static void firing(void) {
    static const char url[] = "http://127.0.0.1:9/velto/mob?";
    char buffer[64];
    velto_initialize(NULL); /* the blank id: events are refused */
    CHECK(!velto_fireEvent(VeltoEvent_PAGE_VIEW, NULL));
    velto_setBaseURL(NULL);
    CHECK(velto_baseURL(buffer, sizeof buffer) == 0 && buffer[0] == '\0');
    velto_setBaseURL(url);
    memset(buffer, 'x', sizeof buffer); /* the getters follow snprintf */
    CHECK(velto_baseURL(NULL, 10) == sizeof url - 1 && velto_baseURL(buffer, 0) == sizeof url - 1);
    CHECK(buffer[0] == 'x' && velto_baseURL(buffer, 5) == sizeof url - 1);
    CHECK(strcmp(buffer, "http") == 0 && buffer[5] == 'x');
    CHECK(velto_baseURL(buffer, sizeof url) == sizeof url - 1 && strcmp(buffer, url) == 0);

    velto_initialize("pixel-1");
    velto_platform_setMainBundleIdentifier("com.c");
    velto_platform_setSystemVersion("9.9");
    velto_platform_setAdvertisingTrackingEnabled(false);
    velto_platform_setCarrier("Net", "310", NULL);
    velto_setDebugMode(true);
    CHECK(velto_debugMode());
    velto_setLogHandler(logTo, "log");
    velto_setOutcomeHandler(outcomeTo, "outcome");
    VeltoParams* params = velto_params_initWithValue("9.99", NULL, NULL, NULL, NULL);
    CHECK(velto_fireEvent("Signup", params) && velto_flush(10.0));
    velto_params_release(params);
    static const char* const expected[] = {
        "log1 fireEvent API is getting called|",
        "\"va\": \"9.99\"",
        "\"appid\": \"com.c\"",
        "\"os\": \"iOS 9.9\"",
        "\"late\": true",
        "\"carrier\": \"Net\",\n    \"mcc\": \"310\"",
        "|log2 Error: calling Post APi Optional(",
        "|outcome2 Signup 0 0 Error: calling Post APi Optional("};
    for (size_t i = 0; i < sizeof expected / sizeof expected[0]; ++i)
        CHECK(strstr(told, expected[i]) != NULL);

    velto_setLogLevel(VELTO_LOG_ERROR); /* the error line and the outcome only */
    CHECK(velto_logLevel() == VELTO_LOG_ERROR);
    told[0] = '\0';
    CHECK(velto_fireEvent(NULL, NULL) && velto_flush(10.0)); /* NULL name: "" */
    CHECK(strncmp(told, "log2 Error: calling", 19) == 0 && strstr(told, ")|outcome2  0 0 Error"));
    CHECK(strcmp(told + strlen(told) - 2, ")|") == 0);
    if (failures) fprintf(stderr, "  told: %s\n", told);

    velto_setLogHandler(NULL, NULL); /* back to standard output */
    velto_setOutcomeHandler(NULL, NULL);
    velto_platform_setMainBundleIdentifier(NULL); /* every NULL has a meaning; none crashes */
    velto_platform_setSystemVersion(NULL);
    velto_platform_setAdvertisingIdentifier(NULL);
    velto_platform_setCarrier(NULL, NULL, NULL);
    told[0] = '\0';
    CHECK(velto_fireEvent("Signup", NULL) && velto_flush(10.0) && told[0] == '\0');
}

static void paramsRules(void) {
    static const struct {
        size_t (*get)(const VeltoParams*, char*, size_t);
        void (*set)(VeltoParams*, const char*);
        const char* key;
    } properties[] = {
        {velto_params_value, velto_params_setValue, "va"},
        {velto_params_currency, velto_params_setCurrency, "c"},
        {velto_params_itemId, velto_params_setItemId, "ii"},
        {velto_params_itemType, velto_params_setItemType, "itp"},
        {velto_params_itemName, velto_params_setItemName, "in"},
    };
    char buffer[8];
    VeltoParams* params = velto_params_init();
    for (int i = 0; i < 5; ++i) {
        CHECK(properties[i].get(params, buffer, sizeof buffer) == 0 && buffer[0] == '\0');
        CHECK(properties[i].get(NULL, buffer, sizeof buffer) == 0); /* NULL object reads "" */
        properties[i].set(NULL, "x");                               /* and is left alone */
    }
    CHECK(jsonIs(params, "{}"));                                 /* reading adds no key */
    for (int i = 0; i < 5; ++i) properties[i].set(params, NULL); /* NULL stores "" */
    velto_params_put(params, NULL, NULL);
    velto_params_put(NULL, "k", "v");
    velto_params_put(params, "q\"k", "\x01\x1fx\xff"); /* not UTF-8: U+FFFD, not bad JSON */
    CHECK(jsonIs(params,
                 "{\"\":\"\",\"c\":\"\",\"ii\":\"\",\"in\":\"\",\"itp\":\"\","
                 "\"q\\\"k\":\"\\u0001\\u001fx\xef\xbf\xbd\",\"va\":\"\"}"));
    for (int i = 0; i < 5; ++i) {
        velto_params_put(params, properties[i].key, "A1,B2345"); /* a key is its property */
        CHECK(properties[i].get(params, buffer, 4) == 8 && strcmp(buffer, "A1,") == 0);
    }
    velto_params_release(params);

    params = velto_params_initWithValue("", NULL, "A1", NULL, "Shoe"); /* NULL: no key */
    CHECK(jsonIs(params, "{\"ii\":\"A1\",\"in\":\"Shoe\",\"va\":\"\"}"));
    velto_params_release(params);
    CHECK(velto_params_retain(NULL) == NULL && velto_params_dictionaryJSON(NULL) == NULL);
    velto_params_release(NULL);
    velto_free(NULL);
}

static void* retainAndRelease(void* params) {
    for (int i = 0; i < 20000; ++i) velto_params_release(velto_params_retain(params));
    return NULL;
}

/* A sanitizer build reports a use after free or a leak if the count goes wrong. */
static void referenceCountingFromThreads(void) {
    VeltoParams* params = velto_params_init();
    velto_params_put(params, "still", "alive");
    pthread_t threads[4];
    for (int t = 0; t < 4; ++t)
        CHECK(pthread_create(&threads[t], NULL, retainAndRelease, params) == 0);
    for (int t = 0; t < 4; ++t) pthread_join(threads[t], NULL);
    CHECK(jsonIs(params, "{\"still\":\"alive\"}"));
    velto_params_release(params); /* 0: freed */
}

int main(void) {
    CHECK(strcmp(velto_version(), VELTOSDK_VERSION_STRING) == 0);
    CHECK(VeltoSDKVersionNumber == 1.0); /* the older values stay as they were */
    CHECK(strcmp((const char*)VeltoSDKVersionString,
                 "@(#)PROGRAM:VeltoSDK  PROJECT:VeltoSDK-1\n") == 0);
    firing();
    paramsRules();
    referenceCountingFromThreads();
    CHECK(veltoMixedHeadersAgree());
    if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
    return failures ? EXIT_FAILURE : EXIT_SUCCESS;
}
