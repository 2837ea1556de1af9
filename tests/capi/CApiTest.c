/* Drives the C interface from C: the NULL rules, the snprintf contract, reference counting
 * and the JSON of the dictionary. */
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
enum { kProperties = sizeof properties / sizeof properties[0] };

static void textGettersFollowSnprintf(void) {
    static const char url[] = "http://127.0.0.1:9/velto/mob?";
    const size_t length = sizeof url - 1;
    char buffer[64];
    velto_setBaseURL(url);
    CHECK(velto_baseURL(NULL, 10) == length); /* no buffer: nothing written, no crash */
    memset(buffer, 'x', sizeof buffer);
    CHECK(velto_baseURL(buffer, 0) == length && buffer[0] == 'x'); /* size 0 writes nothing */
    CHECK(velto_baseURL(buffer, 5) == length && strcmp(buffer, "http") == 0);
    CHECK(buffer[5] == 'x'); /* never more than size bytes */
    CHECK(velto_baseURL(buffer, length + 1) == length && strcmp(buffer, url) == 0);
    velto_setBaseURL(NULL);
    CHECK(velto_baseURL(buffer, sizeof buffer) == 0 && buffer[0] == '\0');
}

static void firing(void) {
    velto_initialize(NULL); /* the blank id: events are refused */
    CHECK(!velto_fireEvent(VeltoEvent_PAGE_VIEW, NULL));
    /* Port 9 on loopback: any transfer started ends at once, refused. */
    velto_setBaseURL("http://127.0.0.1:9/velto/mob?");
    velto_initialize("pixel-1");
    VeltoParams* params = velto_params_initWithValue("9.99", "EUR", NULL, NULL, NULL);
    (void)velto_fireEvent(NULL, params); /* the result depends on the transport only */
    CHECK(velto_fireEvent(VeltoEvent_PURCHASE, params));
    velto_params_release(params);
    CHECK(velto_flush(10.0));
    /* Every NULL has a meaning here; none may crash. */
    velto_platform_setMainBundleIdentifier(NULL);
    velto_platform_setSystemVersion(NULL);
    velto_platform_setAdvertisingIdentifier(NULL);
    velto_platform_setCarrier(NULL, NULL, NULL);
}

/* What the handlers were told; they may run on the HTTP worker. */
static pthread_mutex_t toldLock = PTHREAD_MUTEX_INITIALIZER;
static char told[1024];

static void tell(const char* format, int number, const char* text) {
    pthread_mutex_lock(&toldLock);
    size_t used = strlen(told);
    snprintf(told + used, sizeof told - used, format, number, text);
    pthread_mutex_unlock(&toldLock);
}

static void logTo(void* context, VeltoLogLevel level, const char* line, size_t length) {
    const char* arrow = strstr(line, " -> ");
    tell("%d%s|", (int)level + (context == told ? 0 : 100) + (strlen(line) == length ? 0 : 200),
         arrow ? arrow + 4 : "(no arrow)");
}

static void outcomeTo(void* context, const VeltoOutcome* outcome) {
    tell("outcome %d %s ", (int)outcome->kind + (context == told ? 0 : 100), outcome->eventName);
    tell("%d %s|", outcome->refusal * 1000 + outcome->statusCode, outcome->message);
}

/* Port 9 refuses the connection: the event ends in a transport error. */
static void handlers(void) {
    velto_setBaseURL("http://127.0.0.1:9/velto/mob?");
    velto_setLogHandler(logTo, told);
    velto_setOutcomeHandler(outcomeTo, told);
    velto_setLogLevel(VELTO_LOG_ERROR);
    CHECK(velto_logLevel() == VELTO_LOG_ERROR);
    velto_initialize("pixel-2"); /* an info line: below the level */
    CHECK(velto_fireEvent("Signup", NULL));
    CHECK(velto_flush(10.0));
    /* The error line (the info lines are below the level), then the outcome: transport error,
     * no refusal, status 0 and the line's message, both with the context given. */
    static const char line[] = "2Error: calling Post APi Optional(";
    const char* outcome = strstr(told, "|outcome 2 Signup 0 Error: calling Post APi Optional(");
    CHECK(strncmp(told, line, strlen(line)) == 0 && outcome != NULL);
    CHECK(strlen(told) > 2 && strcmp(told + strlen(told) - 2, ")|") == 0);
    if (failures) fprintf(stderr, "  told: %s\n", told);

    velto_setLogLevel(VELTO_LOG_DEBUG);
    velto_setLogHandler(NULL, NULL); /* back to standard output */
    velto_setOutcomeHandler(NULL, NULL);
    told[0] = '\0';
    CHECK(velto_fireEvent("Signup", NULL) && velto_flush(10.0));
    CHECK(told[0] == '\0');
}

static void paramsRules(void) {
    char buffer[8];
    VeltoParams* params = velto_params_init();
    for (int i = 0; i < kProperties; ++i) {
        CHECK(properties[i].get(params, buffer, sizeof buffer) == 0 && buffer[0] == '\0');
        CHECK(properties[i].get(NULL, buffer, sizeof buffer) == 0); /* NULL object reads "" */
        properties[i].set(NULL, "x");                               /* and is left alone */
    }
    CHECK(jsonIs(params, "{}"));                                           /* reading adds no key */
    for (int i = 0; i < kProperties; ++i) properties[i].set(params, NULL); /* NULL stores "" */
    velto_params_put(params, NULL, NULL);
    velto_params_put(NULL, "k", "v");
    velto_params_put(params, "q\"k", "\x01\x1fx\xff"); /* not UTF-8: U+FFFD, not bad JSON */
    CHECK(jsonIs(params,
                 "{\"\":\"\",\"c\":\"\",\"ii\":\"\",\"in\":\"\",\"itp\":\"\","
                 "\"q\\\"k\":\"\\u0001\\u001fx\xef\xbf\xbd\",\"va\":\"\"}"));
    for (int i = 0; i < kProperties; ++i) {
        velto_params_put(params, properties[i].key, "A1,B2345"); /* a key is its property */
        CHECK(properties[i].get(params, buffer, 4) == 8 && strcmp(buffer, "A1,") == 0);
    }
    velto_params_release(params);

    /* NULL arguments of the initialiser leave their keys out; "" is stored. */
    params = velto_params_initWithValue("", NULL, "A1", NULL, "Shoe");
    CHECK(jsonIs(params, "{\"ii\":\"A1\",\"in\":\"Shoe\",\"va\":\"\"}"));
    velto_params_release(params);
    CHECK(velto_params_retain(NULL) == NULL);
    velto_params_release(NULL);
    CHECK(velto_params_dictionaryJSON(NULL) == NULL);
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

/* The run-time version is the one the headers were generated with, and both follow the
 * project's numbers. */
static void versions(void) {
    char joined[32];
    snprintf(joined, sizeof joined, "%d.%d.%d", VELTOSDK_VERSION_MAJOR, VELTOSDK_VERSION_MINOR,
             VELTOSDK_VERSION_PATCH);
    CHECK(strcmp(joined, VELTOSDK_VERSION_STRING) == 0);
    CHECK(strcmp(velto_version(), VELTOSDK_VERSION_STRING) == 0);
    /* The older values stay as they were. */
    CHECK(VeltoSDKVersionNumber == 1.0);
    CHECK(strcmp((const char*)VeltoSDKVersionString,
                 "@(#)PROGRAM:VeltoSDK  PROJECT:VeltoSDK-1\n") == 0);
}

int main(void) {
    versions();
    textGettersFollowSnprintf();
    firing();
    handlers();
    paramsRules();
    referenceCountingFromThreads();
    CHECK(veltoMixedHeadersAgree());
    if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
    return failures ? EXIT_FAILURE : EXIT_SUCCESS;
}
