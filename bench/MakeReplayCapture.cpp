// Writes the capture bench/replay.sh replays: a VK100 streaming every item at 200 frames
// per second. make_replay_capture FILE [SECONDS] (default 600).
#include "devsim/StreamCapture.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_replay_capture FILE [SECONDS]\n");
        return 2;
    }
    orvanta::devsim::StreamCaptureOptions options;
    if (argc == 3) {
        options.seconds = std::strtod(argv[2], nullptr);
        if (!(options.seconds > 0 && options.seconds <= 86400)) {
            std::fprintf(stderr, "make_replay_capture: SECONDS from 0 to 86400\n");
            return 2;
        }
    }
    std::string error;
    if (!orvanta::devsim::WriteStreamCapture(argv[1], options, error)) {
        std::fprintf(stderr, "make_replay_capture: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
