// Fuzz target: the simulator's command parser, and the device's answers to what it parses.
// Input: model byte, then the bytes the host sends, fed in growing windows as the
// simulator's loop does.
#include "FuzzInput.h"
#include "devsim/CommandParser.h"
#include "devsim/DeviceBehaviour.h"
#include "devsim/SensorGenerator.h"

#include <chrono>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvanta::devsim;
    orvanta::fuzz::FuzzInput in(data, size);
    const std::uint8_t control = in.Byte();
    const Model model = static_cast<Model>(control % 3);
    DeviceBehaviour behaviour(model, PowerUpSettings(model, 115200, (control >> 2) & 7));
    static const SensorGenerator generator(1);
    const SensorSample sample = generator.Sample(
        1234, std::chrono::system_clock::time_point(std::chrono::seconds(1765249200)),
        behaviour.settings().gravity, behaviour.profile().gpsStatus);

    const auto stream = in.Rest();
    std::vector<std::uint8_t> input;
    std::size_t fed = 0;
    std::size_t step = 1 + (control >> 5);
    while (fed < stream.size() || !input.empty()) {
        const std::size_t n = std::min(step, stream.size() - fed);
        input.insert(input.end(), stream.begin() + static_cast<long>(fed),
                     stream.begin() + static_cast<long>(fed + n));
        fed += n;
        bool progress = false;
        while (!input.empty()) {
            const ParseStep parsed = ParseNextCommand(input);
            if (parsed.kind == ParseStep::Kind::NeedMore) {
                if (parsed.consumed != 0) {
                    std::abort();
                }
                break;
            }
            if (parsed.consumed == 0 || parsed.consumed > input.size()) {
                std::abort(); // the loop would never end, or would erase too much
            }
            if (parsed.kind == ParseStep::Kind::Command) {
                for (const DeviceReply& reply : behaviour.Handle(parsed.command, sample)) {
                    if (reply.frame.size() < 8 || reply.frame.size() > 512) {
                        std::abort();
                    }
                }
                (void)behaviour.AutoFrame(sample);
            }
            input.erase(input.begin(), input.begin() + static_cast<long>(parsed.consumed));
            progress = true;
        }
        if (fed == stream.size() && !progress) {
            break; // the rest waits for bytes that never come
        }
    }
    return 0;
}
