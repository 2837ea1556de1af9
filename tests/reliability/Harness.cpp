#include "Harness.hpp"

#include <fcntl.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace VeltoSDK::testing {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kCompletion = "requestForVeltoUnit(eventName:eventParams:) -> ";

}  // namespace

void CompletionCounter::write(std::string_view text) {
    size_t at = text.find(kCompletion);
    if (at == std::string_view::npos) return;
    std::string_view message = text.substr(at + kCompletion.size());
    if (message.starts_with("Data Posted Successfully"))
        ++success_;
    else if (message.starts_with("Error: calling Post APi Optional("))
        ++transportError_;
    else
        ++other_;
}

bool CompletionCounter::waitFor(int count, std::chrono::milliseconds timeout) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (total() < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

int scaled(int count, int atLeast) {
    const char* text = std::getenv("VELTOSDK_TEST_SCALE");
    double scale = text ? std::atof(text) : 1.0;
    if (!(scale > 0 && scale <= 1)) scale = 1.0;
    return std::max(atLeast, static_cast<int>(count * scale));
}

bool ChildResult::exitedWith(int code) const {
    return finished && WIFEXITED(status) && WEXITSTATUS(status) == code;
}

std::string ChildResult::describe() const {
    if (!finished) return "did not finish in time";
    if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
    return "exited with " + std::to_string(WEXITSTATUS(status));
}

ChildResult runChild(std::vector<std::string> argv, const ChildOptions& options) {
    std::vector<std::string> environment = options.environment;
    for (char** e = environ; *e; ++e) environment.emplace_back(*e);  // earlier entries win
    auto pointers = [](std::vector<std::string>& texts) {
        std::vector<char*> result;
        for (auto& text : texts) result.push_back(text.data());
        result.push_back(nullptr);
        return result;
    };
    std::vector<char*> args = pointers(argv), envp = pointers(environment);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.standardOutput >= 0)
        posix_spawn_file_actions_adddup2(&actions, options.standardOutput, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    // The test runner may ignore SIGPIPE; the child must meet it as a host would.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    int rc = ::posix_spawn(&pid, args[0], &actions, &attributes, args.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ChildResult result;
    if (rc != 0) return result;

    auto deadline = std::chrono::steady_clock::now() + options.allowed;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid, &result.status, WNOHANG) == pid) {
            result.finished = true;
            return result;
        }
        std::this_thread::sleep_for(2ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &result.status, 0);
    return result;
}

std::string writeCertificate(const std::string& directory, const std::string& name,
                             const std::string& subjectAltName, int fromDays, int untilDays) {
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_EC_gen("P-256"), EVP_PKEY_free);
    std::unique_ptr<X509, decltype(&X509_free)> cert(X509_new(), X509_free);
    if (!key || !cert) throw std::runtime_error("cannot make a key");
    X509* x = cert.get();
    X509_set_version(x, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(x), static_cast<long>(std::rand()) + 1);
    X509_gmtime_adj(X509_getm_notBefore(x), fromDays * 86400L);
    X509_gmtime_adj(X509_getm_notAfter(x), untilDays * 86400L);
    X509_set_pubkey(x, key.get());
    X509_NAME* subject = X509_get_subject_name(x);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(name.c_str()), -1, -1, 0);
    X509_set_issuer_name(x, subject);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, x, x, nullptr, nullptr, 0);
    for (auto [nid, value] : {std::pair{NID_basic_constraints, std::string("critical,CA:TRUE")},
                              std::pair{NID_subject_alt_name, subjectAltName}}) {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
        if (!extension) throw std::runtime_error("bad extension " + value);
        X509_add_ext(x, extension, -1);
        X509_EXTENSION_free(extension);
    }
    if (X509_sign(x, key.get(), EVP_sha256()) <= 0) throw std::runtime_error("cannot sign");

    const std::string base = directory + "/" + name;
    FILE* keyFile = std::fopen((base + ".key").c_str(), "w");
    FILE* certFile = std::fopen((base + ".crt").c_str(), "w");
    bool written =
        keyFile && certFile &&
        PEM_write_PrivateKey(keyFile, key.get(), nullptr, nullptr, 0, nullptr, nullptr) &&
        PEM_write_X509(certFile, x);
    if (keyFile) std::fclose(keyFile);
    if (certFile) std::fclose(certFile);
    if (!written) throw std::runtime_error("cannot write " + base);
    return base + ".crt";
}

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-rel-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a directory");
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace VeltoSDK::testing
