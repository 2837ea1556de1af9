/* A C host: fires two events and waits for their answers before it exits.
 * Usage: c-host [base URL], e.g. the URL a local collector prints. */
#include <VeltoSDK/velto.h>

#include <stdio.h>

int main(int argc, char** argv) {
    if (argc > 1) velto_setBaseURL(argv[1]);
    velto_platform_setMainBundleIdentifier("com.example.c-host");
    velto_initialize("YOUR-PIXEL-ID");

    VeltoParams* params = velto_params_initWithValue("25", "USD", "A1,B2", NULL, NULL);
    velto_params_put(params, "color", "red,blue"); /* free pairs travel in "custom" */
    bool sent = velto_fireEvent(VeltoEvent_PURCHASE, params);
    velto_params_release(params); /* the library keeps no reference */

    sent = velto_fireEvent("TutorialDone", NULL) && sent; /* any name is an event name */

    bool answered = velto_flush(5.0);
    printf("%s", (const char*)VeltoSDKVersionString);
    return sent && answered ? 0 : 1;
}
