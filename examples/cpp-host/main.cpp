// A C++ host: fires two events and waits for their answers before it exits.
// Usage: cpp-host [base URL], e.g. the URL a local collector prints.
#include <VeltoSDK/VeltoSDK.hpp>

#include <iostream>

int main(int argc, char** argv) {
    using namespace VeltoSDK;
    if (argc > 1) Velto::shared().setBaseURL(argv[1]);
    HostInfo::setMainBundleIdentifier("com.example.cpp-host");
    Velto::initialize("YOUR-PIXEL-ID");

    VeltoParams params;
    params.setValue("25");
    params.setCurrency("USD");
    params.setItemId("A1,B2");        // lists are one text joined by ","
    params.put("color", "red,blue");  // free pairs travel in "custom"
    bool sent = Velto::fireEvent(Event::PURCHASE, &params);

    sent = Velto::fireEvent("TutorialDone") && sent;  // any name is an event name

    bool answered = Velto::flush(5.0);
    std::cout << (sent && answered ? "events delivered\n" : "events not delivered\n");
    return sent && answered ? 0 : 1;
}
