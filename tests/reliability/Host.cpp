// A host app in a process of its own, for the tests that watch a whole process.
//   reliability_host fire <count> <base-url>...  fires `count` events at each base URL, waits for
//                                                their answers, exits 0 when all were logged
//   reliability_host exit <count> <base-url>...  fires and returns from main at once
#include <VeltoSDK/VeltoSDK.hpp>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    using VeltoSDK::Velto;
    if (argc < 4) return 2;
    const std::string mode = argv[1];
    const int count = std::atoi(argv[2]);
    Velto::initialize("px-host");
    VeltoSDK::VeltoParams params("9.99", "EUR", "A1,B2", std::nullopt, std::nullopt);
    for (int u = 3; u < argc; ++u) {
        Velto::shared().setBaseURL(argv[u]);
        for (int i = 0; i < count; ++i) Velto::fireEvent(VeltoSDK::Event::PURCHASE, &params);
    }
    if (mode == "exit") return 0;
    return Velto::flush(20) ? 0 : 1;
}
