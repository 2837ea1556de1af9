#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/linux/CurlHttpClient.hpp"

namespace VeltoSDK::testing {
namespace {

// Exit and fork safety are tested through whole host processes in the reliability suite.

TEST(ProcessTest, CertificatesToTrustComeFromTheEnvironment) {
    using platform::linux_os::CurlClientOptions;
    unsetenv("CURL_CA_BUNDLE");
    setenv("SSL_CERT_FILE", "/tmp/b.pem", 1);
    EXPECT_EQ(CurlClientOptions::fromEnvironment().caBundle, "/tmp/b.pem");
    setenv("CURL_CA_BUNDLE", "/tmp/a.pem", 1);
    EXPECT_EQ(CurlClientOptions::fromEnvironment().caBundle, "/tmp/a.pem");
    unsetenv("CURL_CA_BUNDLE");
    unsetenv("SSL_CERT_FILE");
}

}  // namespace
}  // namespace VeltoSDK::testing
