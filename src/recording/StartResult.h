#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

namespace orvanta::recording {

// How starting a CSV recording or a capture went. Converts to true when it started, so a
// caller that only asks "did it start?" need not know more.
struct StartResult {
    enum class Outcome {
        Started,
        FileNotCreated, // path, error and errorText say which file and why
        NoThread,       // the writer thread could not be started
        NoSerialiser,   // libpcap could not be set up (captures only)
    };

    Outcome outcome = Outcome::Started;
    std::filesystem::path path; // the file made, or the one that could not be made
    int error = 0;              // errno for FileNotCreated
    std::string errorText;      // the system's words for it

    static StartResult Made(std::filesystem::path path) {
        return {Outcome::Started, std::move(path), 0, {}};
    }
    static StartResult Failed(Outcome outcome, std::filesystem::path path, int error = 0) {
        return {outcome, std::move(path), error,
                error != 0 ? std::generic_category().message(error) : std::string()};
    }

    bool Started() const { return outcome == Outcome::Started; }
    operator bool() const { return Started(); } // NOLINT: the old bool API converts
};

} // namespace orvanta::recording
