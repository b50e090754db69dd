#pragma once

// The program in headless mode as a child process in a program folder of its own, started
// from an unrelated current directory, against the device simulator run in this process:
// what the fault-injection tests run.
#include "devsim/DeviceSimulator.h"
#include "support/ProgramFolder.h"
#include "support/RunUntil.h"
#include "support/SimulatedDevice.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace orvanta::hardening {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// One status line of the headless mode.
struct StatusLine {
    unsigned rate = 0;
    int miscount = 0;
    int mode = 0;
    std::string roll;
};

class HeadlessProcessFixture : public ::testing::Test {
protected:
    HeadlessProcessFixture() {
        fs::copy_file(ORVANTA_BINARY, bin() / "orvanta", fs::copy_options::overwrite_existing);
    }
    ~HeadlessProcessFixture() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        if (simulator_) {
            simulator_->Stop();
        }
    }

    fs::path root() const { return folder_.root(); }
    fs::path bin() const { return folder_.bin(); }
    fs::path config() const { return folder_.config(); }
    fs::path data() const { return folder_.data(); }
    std::string link() const { return (root() / "device").string(); }

    devsim::DeviceSimulator& StartSimulator(devsim::SimulatorOptions options) {
        simulator_ = orvanta::testing::StartDevice(std::move(options), link());
        return *simulator_;
    }
    devsim::DeviceSimulator& Simulator() { return *simulator_; }

    // Starts bin/orvanta with arguments from elsewhere/; fileSizeLimit > 0 sets the soft
    // RLIMIT_FSIZE in the child before it starts (the hard limit stays, so the test can
    // lift the soft one later without CAP_SYS_RESOURCE).
    void Spawn(const std::vector<std::string>& arguments, rlim_t fileSizeLimit = 0) {
        ASSERT_LT(pid_, 0) << "one program at a time";
        std::vector<std::string> args{(bin() / "orvanta").string()};
        args.insert(args.end(), arguments.begin(), arguments.end());
        const std::string out = (root() / "out.txt").string();
        const std::string err = (root() / "err.txt").string();
        const std::string folder = (root() / "elsewhere").string();
        fs::create_directories(folder);
        // Should the program take itself for installed, its files stay in the test's folder.
        const std::string home = (root() / "home").string();
        // Gone before the child starts, so a look at them never finds the last run's.
        fs::remove(out);
        fs::remove(err);
        started_ = Clock::now();
        pid_ = ::fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            std::vector<char*> argv;
            for (auto& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0 ||
                ::chdir(folder.c_str()) != 0 || ::setenv("HOME", home.c_str(), 1) != 0) {
                ::_exit(120);
            }
            for (const char* name : {"XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR", "XDG_PICTURES_DIR"}) {
                ::unsetenv(name);
            }
            if (!systemRoot_.empty() &&
                ::setenv("ORVANTA_SYSTEM_ROOT", systemRoot_.c_str(), 1) != 0) {
                ::_exit(123);
            }
            if (fileSizeLimit > 0) {
                rlimit limit{};
                ::getrlimit(RLIMIT_FSIZE, &limit);
                limit.rlim_cur = fileSizeLimit;
                if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                    ::_exit(121);
                }
            }
            ::execv(argv[0], argv.data());
            ::_exit(122);
        }
    }

    // The program looks for its ports in this folder's sys/ and dev/ (a fake machine).
    void SetSystemRoot(const fs::path& root) { systemRoot_ = root.string(); }

    // The exit status, or nothing when the program did not end in time (it is killed).
    std::optional<int> Wait(std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (pid_ > 0) {
            int status = 0;
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                pid_ = -1;
                elapsed_ = Clock::now() - started_;
                if (WIFEXITED(status)) {
                    return WEXITSTATUS(status);
                }
                return 128 + WTERMSIG(status);
            }
            if (Clock::now() >= deadline) {
                ::kill(pid_, SIGABRT);
                ::waitpid(pid_, &status, 0);
                pid_ = -1;
                ADD_FAILURE() << "the program did not end in time (hang)";
                return std::nullopt;
            }
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }
    void Signal(int signal) const {
        if (pid_ > 0) {
            ::kill(pid_, signal);
        }
    }
    pid_t Pid() const { return pid_; }
    // Still running (not ended, not reaped).
    bool Running() const {
        if (pid_ <= 0) {
            return false;
        }
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == 0;
    }

    // Ends a run that was started with --duration seconds: the device goes quiet a second
    // before, so every frame it sent has reached the program (counts compare exactly), and
    // the program ends by itself with its device still there. Returns its exit status.
    std::optional<int> EndWithDevice(double durationSeconds) {
        const auto unplugAt = started_ + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(durationSeconds - 1.0));
        std::this_thread::sleep_until(unplugAt);
        simulator_->Hush();
        return Wait(std::chrono::milliseconds(static_cast<int>(durationSeconds * 1000) + 15000));
    }
    Clock::duration Elapsed() const { return elapsed_; }

    std::string Out() const { return testing::ReadFile(root() / "out.txt"); }
    std::string Err() const { return testing::ReadFile(root() / "err.txt"); }

    std::vector<StatusLine> StatusLines() const {
        static const std::regex pattern(
            R"(rate=(\d+)HZ miscount=(-?\d+) mode=(\d) roll=(\S*) pitch=\S* yaw=\S*)");
        std::vector<StatusLine> lines;
        std::istringstream in(Out());
        for (std::string text; std::getline(in, text);) {
            std::smatch m;
            // A status line may follow the echo of a frame cut short on the same line.
            if (std::regex_search(text, m, pattern)) {
                lines.push_back(StatusLine{static_cast<unsigned>(std::stoul(m[1])), std::stoi(m[2]),
                                           std::stoi(m[3]), m[4]});
            }
        }
        return lines;
    }
    int MaxMiscount() const {
        int most = 0;
        for (const auto& line : StatusLines()) {
            most = std::max(most, line.miscount);
        }
        return most;
    }

    // Rows in every CSV file below folder (header lines, which start with "Roll(", not
    // counted); headers counts the header lines.
    static std::uint64_t CsvRows(const fs::path& folder, std::uint64_t* headers = nullptr) {
        std::uint64_t rows = 0, heads = 0;
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) {
            return 0;
        }
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (!entry.is_regular_file()) {
                continue;
            }
            std::istringstream in(testing::ReadFile(entry.path()));
            for (std::string line; std::getline(in, line);) {
                if (line.rfind("Roll(", 0) == 0) {
                    ++heads;
                } else if (!line.empty()) {
                    ++rows;
                }
            }
        }
        if (headers) {
            *headers = heads;
        }
        return rows;
    }
    std::vector<fs::path> CsvFiles(const fs::path& folder) const {
        std::vector<fs::path> files;
        std::error_code ec;
        if (fs::is_directory(folder, ec)) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                files.push_back(entry.path());
            }
        }
        return files;
    }

    // Waits until the simulator has sent one more data frame than now, then lets the host
    // read it: the line is quiet for the next tens of milliseconds.
    void WaitForQuietLine() {
        const auto before = simulator_->Counters().dataFramesSent;
        orvanta::testing::WaitUntil([&] { return simulator_->Counters().dataFramesSent != before; },
                                    3s);
        std::this_thread::sleep_for(25ms);
    }

private:
    orvanta::testing::ProgramFolder folder_;
    std::unique_ptr<devsim::DeviceSimulator> simulator_;
    pid_t pid_ = -1;
    std::string systemRoot_;
    Clock::time_point started_{};
    Clock::duration elapsed_{};
};

} // namespace orvanta::hardening
