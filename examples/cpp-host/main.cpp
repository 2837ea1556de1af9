// A C++ host: fires two events, tells the accepted ones from the refused ones through the
// outcome handler, and waits for the answers before it exits.
// Usage: cpp-host [base URL], e.g. the URL a local collector prints. Exit 0 when both events
// were accepted.
#include <VeltoSDK/VeltoSDK.hpp>

#include <iostream>
#include <mutex>

int main(int argc, char** argv) {
    using namespace VeltoSDK;
    if (argc > 1) Velto::shared().setBaseURL(argv[1]);
    HostInfo::setMainBundleIdentifier("com.example.cpp-host");

    // Outcomes arrive on the library's HTTP thread, one per event handed over.
    std::mutex mutex;
    int accepted = 0, notAccepted = 0;
    Velto::setOutcomeHandler([&](const EventOutcome& outcome) {
        std::lock_guard lock(mutex);
        if (outcome.kind == OutcomeKind::accepted) {
            ++accepted;
            std::cout << "outcome: " << outcome.eventName << " accepted\n";
        } else {
            ++notAccepted;
            std::cout << "outcome: " << outcome.eventName << " not accepted (HTTP "
                      << outcome.statusCode << "): " << outcome.message << "\n";
        }
    });
    Velto::initialize("YOUR-PIXEL-ID");

    VeltoParams params;
    params.setValue("25");
    params.setCurrency("USD");
    params.setItemId("A1,B2");        // lists are one text joined by ","
    params.put("color", "red,blue");  // free pairs travel in "custom"
    bool sent = Velto::fireEvent(Event::PURCHASE, &params);

    sent = Velto::fireEvent("TutorialDone") && sent;  // any name is an event name

    bool answered = Velto::flush(5.0);
    // Once this returns the handler is not called again, so the counts below are final.
    Velto::setOutcomeHandler(nullptr);
    std::cout << accepted << " accepted, " << notAccepted << " not accepted\n";
    return sent && answered && notAccepted == 0 ? 0 : 1;
}
