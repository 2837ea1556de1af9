/* One cold start of a C host on the shared library: what the app's thread pays for
 * velto_initialize and for the first velto_fireEvent, in a process that has done nothing else.
 * ./dev bench runs it in 20 fresh processes and takes the medians.
 *
 * usage: velto-coldstart BASE_URL
 * On standard error: the wall-clock times (init_ms, first_fire_ms), then the app thread's CPU
 * times (init_cpu_ms, first_fire_cpu_ms), which leave out time spent waiting for a core on a
 * busy machine. */
#include <stdio.h>
#include <time.h>

#include <VeltoSDK/velto.h>

static double nowMs(clockid_t clock) {
    struct timespec t;
    clock_gettime(clock, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fputs("usage: velto-coldstart BASE_URL\n", stderr);
        return 2;
    }
    /* The events go to the bench's sink, never to the default endpoint. */
    velto_setBaseURL(argv[1]);
    VeltoParams* params = velto_params_initWithValue("25", "USD", "A1,B2", NULL, NULL);
    velto_params_put(params, "color", "red,blue");

    double began = nowMs(CLOCK_MONOTONIC), beganCpu = nowMs(CLOCK_THREAD_CPUTIME_ID);
    velto_initialize("bench-pixel-0001");
    double initialized = nowMs(CLOCK_MONOTONIC), initializedCpu = nowMs(CLOCK_THREAD_CPUTIME_ID);
    bool handedOver = velto_fireEvent(VeltoEvent_PURCHASE, params);
    double fired = nowMs(CLOCK_MONOTONIC), firedCpu = nowMs(CLOCK_THREAD_CPUTIME_ID);

    bool delivered = velto_flush(10.0);
    velto_params_release(params);
    fprintf(stderr, "init_ms=%.3f first_fire_ms=%.3f init_cpu_ms=%.3f first_fire_cpu_ms=%.3f\n",
            initialized - began, fired - initialized, initializedCpu - beganCpu,
            firedCpu - initializedCpu);
    return handedOver && delivered ? 0 : 1;
}
