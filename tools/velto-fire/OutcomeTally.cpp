#include "OutcomeTally.hpp"

namespace VeltoSDK::fire {
namespace {

std::string reasonOf(const EventOutcome& outcome) {
    switch (outcome.refusal) {
        case Refusal::unregisteredPixelId:
            return "UNREGISTERED_PIXEL_ID";
        case Refusal::eventFieldMissing:
            return "PIXEL_MISSING_REQUIRED_FIELD";
        case Refusal::unsupportedEvent:
            return "PIXEL_UNSUPPORTED_EVENT";
        default:
            return "HTTP " + std::to_string(outcome.statusCode);
    }
}

std::string counted(int count, const std::string& singular, const std::string& plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

}  // namespace

void OutcomeTally::add(const EventOutcome& outcome) {
    std::lock_guard lock(mutex_);
    switch (outcome.kind) {
        case OutcomeKind::accepted:
            ++accepted_;
            break;
        case OutcomeKind::refused:
            ++refusals_[reasonOf(outcome)];
            break;
        case OutcomeKind::transportError:
            ++transportErrors_;
            break;
        case OutcomeKind::notHTTP:
            ++notHTTP_;
            break;
    }
}

int OutcomeTally::accepted() const {
    std::lock_guard lock(mutex_);
    return accepted_;
}

int OutcomeTally::completed() const {
    std::lock_guard lock(mutex_);
    int total = accepted_ + transportErrors_ + notHTTP_;
    for (const auto& [reason, count] : refusals_) total += count;
    return total;
}

std::string OutcomeTally::summary(int fired, int handedOver) const {
    const int unanswered = handedOver - completed();
    std::lock_guard lock(mutex_);
    std::string line =
        counted(fired, "event", "events") + ": " + std::to_string(accepted_) + " accepted";
    int refused = 0;
    std::string reasons;
    for (const auto& [reason, count] : refusals_) {
        refused += count;
        reasons += (reasons.empty() ? "" : ", ") +
                   (refusals_.size() > 1 ? std::to_string(count) + " " : "") + reason;
    }
    if (refused > 0) line += ", " + std::to_string(refused) + " refused (" + reasons + ")";
    if (transportErrors_ > 0)
        line += ", " + counted(transportErrors_, "transport error", "transport errors");
    if (notHTTP_ > 0) line += ", " + std::to_string(notHTTP_) + " not HTTP";
    if (fired > handedOver) line += ", " + std::to_string(fired - handedOver) + " not handed over";
    if (unanswered > 0) line += ", " + std::to_string(unanswered) + " unanswered";
    return line;
}

}  // namespace VeltoSDK::fire
