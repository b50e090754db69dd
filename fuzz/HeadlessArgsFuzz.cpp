// Fuzz target: the headless argument parser. The input is the argument list, each
// argument ended by a NUL byte; "--headless" comes first unless the first byte is 0x01.
#include "headless/HeadlessOptions.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvanta::headless;
    std::vector<std::string> args;
    std::size_t at = 0;
    if (size > 0 && data[0] == 0x01) {
        at = 1;
    } else {
        args.emplace_back("--headless");
    }
    std::string current;
    for (; at < size; ++at) {
        if (data[at] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[at]));
        }
    }
    if (!current.empty()) {
        args.push_back(current);
    }
    const HeadlessParse parse = ParseHeadlessArgs(args);
    if (parse.options.has_value() == !parse.error.empty()) {
        std::abort(); // usable exactly when there is no error text
    }
    if (parse.options) {
        const HeadlessOptions& o = *parse.options;
        if ((o.model && (*o.model < 0 || *o.model > 2)) ||
            (o.mode && (*o.mode < 0 || *o.mode > 2)) ||
            (o.frequencyIndex && (*o.frequencyIndex < 0 || *o.frequencyIndex > 9)) ||
            (o.parity && *o.parity != 'N' && *o.parity != 'O' && *o.parity != 'E') ||
            (o.durationSeconds &&
             !(std::isfinite(*o.durationSeconds) && *o.durationSeconds >= 0)) ||
            (o.replay && (!o.ports.empty() || o.capture || o.replay->empty())) ||
            o.ports.size() > kMaxPorts || !(o.speed.factor >= 0.001 && o.speed.factor <= 1e6)) {
            std::abort();
        }
        // The last --model counts, and only when its value names a model.
        std::string lastModel;
        bool sawModel = false;
        for (std::size_t i = 0; i + 1 < args.size(); ++i) {
            if (args[i] == "--model") {
                lastModel = args[i + 1];
                sawModel = true;
                ++i;
            } else if (args[i] == "--port" || args[i] == "--baud" || args[i] == "--parity" ||
                       args[i] == "--mode" || args[i] == "--freq-index" ||
                       args[i] == "--duration" || args[i] == "--capture" || args[i] == "--replay" ||
                       args[i] == "--speed") {
                ++i;
            }
        }
        static const char* const kNames[] = {"VK100", "VK200-210", "VN300"};
        if (sawModel != o.model.has_value() || (o.model && lastModel != kNames[*o.model])) {
            std::abort();
        }
    }
    return 0;
}
