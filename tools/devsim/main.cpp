// orvanta-devsim: plays a VK100, VK200-210 or VN300 on a pseudo-terminal.
#include "devsim/DeviceSimulator.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>

namespace {

using orvanta::devsim::DeviceSimulator;
using orvanta::devsim::SimulatorOptions;

constexpr const char* kUsage =
    "usage: orvanta-devsim [--model VK100|VK200-210|VN300] [--link PATH] [--baud RATE]\n"
    "                      [--auto-divider N] [--corrupt-every N] [--seed N]\n"
    "                      [--duration SECONDS] [--noise SECONDS]\n"
    "                      [--inject oversize|no-end|empty-ack --inject-every N]\n"
    "                      [--settings normal|reject|mute]\n"
    "                      [--drop-after SECONDS [--back-after SECONDS]]\n"
    "       orvanta-devsim --version | --help\n"
    "\n"
    "Plays a sensor on a pseudo-terminal and prints \"orvanta-devsim: serving MODEL on PATH\"\n"
    "with the slave's path; open that path (or the --link path) like a serial port.\n"
    "\n"
    "  --model           device model (default VK100)\n"
    "  --link PATH       keep PATH a symbolic link to the live pty; removed at exit\n"
    "  --baud RATE       line rate at power-up (default 115200); output never goes faster\n"
    "                    than RATE / 10 bytes per second\n"
    "  --auto-divider N  start in automatic output at top rate / N frames per second\n"
    "                    (top rate 100 for VK100, 200 for the others); default answer output\n"
    "  --corrupt-every N flip one payload byte in every Nth data frame\n"
    "  --seed N          seed of the sensor values (default 1)\n"
    "  --duration SECONDS  serve this long, then exit (default: until killed)\n"
    "\n"
    "Fault injection:\n"
    "  --noise SECONDS   after each plug, random bytes at the full line rate for this long\n"
    "                    (no automatic frames meanwhile), then the normal service\n"
    "  --inject KIND     a faulty frame before every Nth data frame (--inject-every N):\n"
    "                    oversize (a header announcing 529 bytes), no-end (a copy of the\n"
    "                    data frame without its end byte), empty-ack (01 with no payload)\n"
    "  --settings HOW    setting commands answered normally, rejected with status 9, or\n"
    "                    never answered (mute); queries and polls are always answered\n"
    "  --drop-after SECONDS  pull the device out this long after the start: the --link is\n"
    "                    removed and the pty closed, so a host reading it sees a hang-up\n"
    "  --back-after SECONDS  plug it back this long after the drop, under a new pty with\n"
    "                    the same --link and the saved settings\n"
    "\n"
    "Signals: SIGUSR1 pulls the device out and plugs it back: the old pty vanishes, a new\n"
    "one is served (and linked) with the saved settings, and the serving line is printed\n"
    "again. SIGUSR2 only pulls it out; the next SIGUSR1 plugs it back. SIGINT and SIGTERM\n"
    "end the run. At exit two lines tell how many data frames were sent and how many of\n"
    "them were corrupted.\n";

constexpr std::string_view kValueSwitches[] = {
    "--model",    "--link",       "--baud",       "--auto-divider", "--corrupt-every",
    "--seed",     "--noise",      "--inject",     "--inject-every", "--settings",
    "--duration", "--drop-after", "--back-after",
};

bool ParseUnsigned(std::string_view text, std::uint64_t max, std::uint64_t& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value <= max;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "orvanta-devsim: %s\n", message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    SimulatorOptions options;
    double duration = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::puts("orvanta-devsim " ORVANTA_VERSION);
            return 0;
        }
        if (std::find(std::begin(kValueSwitches), std::end(kValueSwitches), arg) ==
            std::end(kValueSwitches)) {
            return Fail("unknown option " + std::string(arg) + "\n" + kUsage);
        }
        if (i + 1 >= argc) {
            return Fail("missing value after " + std::string(arg) + "\n" + kUsage);
        }
        const std::string_view value = argv[++i];
        std::uint64_t number = 0;
        if (arg == "--model") {
            const auto model = orvanta::devsim::ModelFromName(value);
            if (!model) {
                return Fail("unknown model " + std::string(value) + " (VK100, VK200-210 or VN300)");
            }
            options.model = *model;
        } else if (arg == "--link") {
            options.linkPath = value;
        } else if (arg == "--baud") {
            if (!ParseUnsigned(value, 4000000, number) || number < 50) {
                return Fail("--baud wants a rate from 50 to 4000000, not " + std::string(value));
            }
            options.baud = static_cast<std::uint32_t>(number);
        } else if (arg == "--auto-divider") {
            if (!ParseUnsigned(value, 255, number) || number == 0) {
                return Fail("--auto-divider wants 1 to 255, not " + std::string(value));
            }
            options.autoDivider = static_cast<std::uint8_t>(number);
        } else if (arg == "--corrupt-every") {
            if (!ParseUnsigned(value, 0xFFFFFFFFu, number)) {
                return Fail("--corrupt-every wants a count, not " + std::string(value));
            }
            options.corruptEvery = static_cast<std::uint32_t>(number);
        } else if (arg == "--seed") {
            if (!ParseUnsigned(value, UINT64_MAX, number)) {
                return Fail("--seed wants a number, not " + std::string(value));
            }
            options.seed = number;
        } else if (arg == "--noise") {
            char* end = nullptr;
            const std::string text(value);
            options.noiseSeconds = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0' || !(options.noiseSeconds >= 0) ||
                options.noiseSeconds > 1e6) {
                return Fail("--noise wants seconds, not " + text);
            }
        } else if (arg == "--inject") {
            if (value == "oversize") {
                options.inject = orvanta::devsim::InjectedFault::OversizeHeader;
            } else if (value == "no-end") {
                options.inject = orvanta::devsim::InjectedFault::NoEndByte;
            } else if (value == "empty-ack") {
                options.inject = orvanta::devsim::InjectedFault::EmptyAck;
            } else {
                return Fail("--inject wants oversize, no-end or empty-ack, not " +
                            std::string(value));
            }
        } else if (arg == "--inject-every") {
            if (!ParseUnsigned(value, 0xFFFFFFFFu, number) || number == 0) {
                return Fail("--inject-every wants a count from 1, not " + std::string(value));
            }
            options.injectEvery = static_cast<std::uint32_t>(number);
        } else if (arg == "--settings") {
            if (value == "normal") {
                options.settingAnswer = orvanta::devsim::SettingAnswer::Normal;
            } else if (value == "reject") {
                options.settingAnswer = orvanta::devsim::SettingAnswer::Reject;
            } else if (value == "mute") {
                options.settingAnswer = orvanta::devsim::SettingAnswer::Mute;
            } else {
                return Fail("--settings wants normal, reject or mute, not " + std::string(value));
            }
        } else if (arg == "--drop-after" || arg == "--back-after") {
            char* end = nullptr;
            const std::string text(value);
            const double seconds = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0' || !(seconds > 0) || seconds > 1e6) {
                return Fail(std::string(arg) + " wants seconds above 0, not " + text);
            }
            (arg == "--drop-after" ? options.dropAfterSeconds : options.backAfterSeconds) = seconds;
        } else if (arg == "--duration") {
            char* end = nullptr;
            const std::string text(value);
            duration = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0' || !(duration >= 0) || duration > 1e9) {
                return Fail("--duration wants seconds, not " + text);
            }
        } else {
            return Fail("unknown option " + std::string(arg) + "\n" + kUsage);
        }
    }

    // Signals are taken synchronously here; the simulator's thread inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) {
        sigaddset(&signals, s);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    const std::string modelName(orvanta::devsim::ProfileOf(options.model).name);
    options.onServing = [modelName](const std::string& path) {
        std::printf("orvanta-devsim: serving %s on %s\n", modelName.c_str(), path.c_str());
        std::fflush(stdout);
    };
    if (options.backAfterSeconds > 0 && options.dropAfterSeconds == 0) {
        return Fail("--back-after needs --drop-after");
    }
    if (options.inject != orvanta::devsim::InjectedFault::None && options.injectEvery == 0) {
        options.injectEvery = 1;
    }
    DeviceSimulator simulator(options);
    std::string error;
    if (!simulator.Start(error)) {
        return Fail(error);
    }

    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        timespec wait{0, 200 * 1000 * 1000};
        if (duration > 0) {
            const double left =
                duration -
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (left <= 0) {
                break;
            }
            if (left < 0.2) {
                wait.tv_nsec = static_cast<long>(left * 1e9);
            }
        }
        const int s = sigtimedwait(&signals, nullptr, &wait);
        if (s == SIGUSR1) {
            if (!simulator.Plug()) {
                std::fprintf(stderr, "orvanta-devsim: could not plug a new pty\n");
            }
        } else if (s == SIGUSR2) {
            simulator.Unplug();
        } else if (s == SIGINT || s == SIGTERM || s == SIGHUP) {
            break;
        }
    }
    simulator.Stop();
    const auto counters = simulator.Counters();
    std::printf("orvanta-devsim: sent %llu data frames\n",
                static_cast<unsigned long long>(counters.dataFramesSent));
    std::printf("orvanta-devsim: corrupted %llu data frames\n",
                static_cast<unsigned long long>(counters.dataFramesCorrupted));
    if (options.noiseSeconds > 0) {
        std::printf("orvanta-devsim: sent %llu noise bytes\n",
                    static_cast<unsigned long long>(counters.noiseBytesSent));
    }
    if (options.inject != orvanta::devsim::InjectedFault::None) {
        std::printf("orvanta-devsim: injected %llu faulty frames\n",
                    static_cast<unsigned long long>(counters.faultsInjected));
    }
    std::fflush(stdout);
    return 0;
}
