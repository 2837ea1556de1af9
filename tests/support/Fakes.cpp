#include "Fakes.hpp"

namespace VeltoSDK::testing {

void CapturingOutput::write(std::string_view text) {
    std::lock_guard lock(mutex_);
    writes_.emplace_back(text);
}

std::vector<std::string> CapturingOutput::writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

std::vector<std::string> CapturingOutput::linesWithoutDate() const {
    std::vector<std::string> lines;
    for (const std::string& text : writes()) {
        // The date is the first two blank-separated words.
        size_t first = text.find(' ');
        size_t second = first == std::string::npos ? first : text.find(' ', first + 1);
        std::string rest = second == std::string::npos ? text : text.substr(second + 1);
        if (!rest.empty() && rest.back() == '\n') rest.pop_back();
        lines.push_back(rest);
    }
    return lines;
}

void CapturingOutput::clear() {
    std::lock_guard lock(mutex_);
    writes_.clear();
}

}  // namespace VeltoSDK::testing
