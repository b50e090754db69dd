#include "headless/HeadlessRun.h"

#include "config/ConfigValues.h"
#include "config/LanguageChoice.h"
#include "headless/PrefixedLines.h"
#include "host/ControlModel.h"
#include "host/Host.h"
#include "host/MainLoop.h"
#include "host/StopSignals.h"
#include "publish/RemoteLink.h"
#include "publish/SessionPublisher.h"
#include "recording/CsvLayout.h"
#include "serial/DeviceIdentity.h"
#include "serial/PortDescription.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <thread>

namespace orvanta::headless {

namespace {

// The files a run writes, on stdout one line each as they are made, and a last line with
// what reached them: "csv: PATH", "capture: PATH", then
// "recorded: rows=N files=N bytes=N lost_rows=N lost_records=N".
class RecordingReport {
public:
    RecordingReport(std::ostream& out, bool& outEndsInsideLine)
        : m_out(out), m_outEndsInsideLine(outEndsInsideLine) {}

    void Capture(const std::filesystem::path& path) {
        m_capture = path;
        Line() << "capture: " << path.string() << '\n' << std::flush;
    }
    void NewFiles(const recording::CsvRecorder::Written& written) {
        for (; m_csvFilesShown < written.files.size(); ++m_csvFilesShown) {
            Line() << "csv: " << written.files[m_csvFilesShown].string() << '\n' << std::flush;
        }
    }
    void End(const recording::CsvRecorder::Written& written, std::uint64_t lostRows,
             std::uint64_t lostRecords) {
        NewFiles(written);
        std::uint64_t bytes = written.bytes;
        std::size_t files = written.files.size();
        if (!m_capture.empty()) {
            std::error_code ec;
            const auto size = std::filesystem::file_size(m_capture, ec);
            bytes += ec ? 0 : size;
            ++files;
        }
        Line() << "recorded: rows=" << written.rows << " files=" << files << " bytes=" << bytes
               << " lost_rows=" << lostRows << " lost_records=" << lostRecords << '\n'
               << std::flush;
    }

private:
    std::ostream& Line() {
        if (m_outEndsInsideLine) {
            m_out << '\n';
            m_outEndsInsideLine = false;
        }
        return m_out;
    }

    std::ostream& m_out;
    bool& m_outEndsInsideLine;
    std::filesystem::path m_capture;
    std::size_t m_csvFilesShown = 0;
};

// What one port's run (or the replay) is given beyond the run's options.
struct PortRun {
    std::optional<std::string> port;
    std::optional<int> model;
    std::string portName;               // in its file names; empty in a one-port run
    std::optional<std::string> capture; // its --capture file
};

int RunPort(const HeadlessOptions& options, const PortRun& run,
            const HeadlessEnvironment& environment, std::ostream& out, std::ostream& err);

// The --capture file of one of several ports: the port's name before the extension.
std::string CaptureForPort(const std::string& capture, const std::string& portName) {
    const std::filesystem::path path(capture);
    return (path.parent_path() /
            (path.stem().string() + "_" + portName + path.extension().string()))
        .string();
}

// The ports' names, each told apart from the others by a number where two are alike.
std::vector<std::string> PortNames(const std::vector<PortChoice>& ports,
                                   const HeadlessEnvironment& environment) {
    const std::string sysfs = (environment.systemRoot / "sys").string();
    const std::string dev = (environment.systemRoot / "dev").string();
    std::vector<std::string> names;
    for (const PortChoice& port : ports) {
        std::string name = recording::SanitizeFileNamePart(
            serial::ShortPortName(serial::IdentifyDevice(port.path, sysfs, dev)));
        const std::string base = name;
        for (int n = 2; std::find(names.begin(), names.end(), name) != names.end(); ++n) {
            name = base + "_" + std::to_string(n);
        }
        names.push_back(name);
    }
    return names;
}

} // namespace

int CombinePortStatuses(const std::vector<int>& statuses) {
    if (std::all_of(statuses.begin(), statuses.end(), [](int s) { return s == 3; })) {
        return 3;
    }
    for (const int status : {2, kStatusNotRecorded, 4, kStatusDeviceAway}) {
        if (std::find(statuses.begin(), statuses.end(), status) != statuses.end()) {
            return status;
        }
    }
    return 0;
}

void PrintPortList(std::ostream& out, const std::filesystem::path& configPath,
                   const std::string& sysfsRoot, const std::string& deviceDir) {
    const std::string configured =
        config::ConfigFile(configPath)
            .ReadString(config::config_key::kCom, config::kDefaultComPath);
    for (const std::string& port : host::SystemPortList(sysfsRoot, deviceDir, configured)) {
        out << port << '\t' << serial::DescribePort(sysfsRoot, port) << '\n';
    }
}

int RunHeadless(const HeadlessOptions& options, const HeadlessEnvironment& environment) {
    std::ostream& out = environment.out ? *environment.out : std::cout;
    std::ostream& err = environment.err ? *environment.err : std::cerr;
    const host::StopSignals signals;
    if (options.ports.size() <= 1) {
        PortRun run;
        if (!options.ports.empty()) {
            run.port = options.ports[0].path;
            run.model = options.ports[0].model;
        }
        run.model = run.model ? run.model : options.model;
        run.capture = options.capture;
        return RunPort(options, run, environment, out, err);
    }

    // Each port on its own thread with its own host, loop, recorder and capture; the
    // arrival times all come from the same clocks, so the files line up.
    SharedLines outLines(out);
    SharedLines errLines(err);
    const std::vector<std::string> names = PortNames(options.ports, environment);
    std::vector<int> statuses(options.ports.size(), 0);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < options.ports.size(); ++i) {
        threads.emplace_back([&, i] {
            PortRun run;
            run.port = options.ports[i].path;
            run.model = options.ports[i].model ? options.ports[i].model : options.model;
            run.portName = names[i];
            if (options.capture) {
                run.capture = CaptureForPort(*options.capture, names[i]);
            }
            PrefixedLineStream portOut(outLines, names[i] + ": ");
            PrefixedLineStream portErr(errLines, names[i] + ": ");
            statuses[i] = RunPort(options, run, environment, portOut, portErr);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return CombinePortStatuses(statuses);
}

namespace {

int RunPort(const HeadlessOptions& options, const PortRun& run,
            const HeadlessEnvironment& environment, std::ostream& out, std::ostream& err) {
    const config::LanguageChoice language =
        config::ChooseLanguage(environment.configPath, environment.systemLocaleIsChineseChina);

    host::ControlModel ui;
    ui.SetMessageSink([&err](std::string_view caption, std::string_view text, host::MessageIcon) {
        err << caption << ": " << text << '\n' << std::flush;
    });
    // A device that drops off and comes back, said as it happens.
    ui.SetNoticeSink([&err](std::string_view notice) { err << notice << '\n' << std::flush; });
    // The echo may stop inside a line; the report's lines always stand on their own.
    bool echoEndsInsideLine = false;
    if (options.monitor) {
        ui.SetMonitorSink([&out, &echoEndsInsideLine](std::string_view text) {
            out << text << std::flush;
            if (!text.empty()) {
                echoEndsInsideLine = text.back() != '\n';
            }
        });
    }

    host::Host* hostPointer = nullptr;
    // The rate tick zeroes Miscount after a second without data frames, before it tells
    // the listener; the status line shows the count that second ended with, so checksum
    // failures among noise without data frames are seen.
    std::string miscountAtTick = "0";
    host::MainLoop loop(
        [&hostPointer, &miscountAtTick](int id) {
            if (id == host::kRateTimer) {
                miscountAtTick = hostPointer->Receiver().MiscountText();
            }
            hostPointer->OnTimer(id);
        },
        [&hostPointer] { hostPointer->DispatchPending(); });

    host::HostOptions hostOptions;
    hostOptions.configPath = environment.configPath;
    hostOptions.dataDirectory = environment.dataDirectory;
    hostOptions.languageFlag = language.LanguageFlag;
    hostOptions.SetSystemRoot(environment.systemRoot);
    if (options.replay) {
        hostOptions.replayPath = *options.replay;
        hostOptions.replaySpeed = options.speed;
        hostOptions.replayModelFromCapture = !options.model;
    }
    if (options.remote) {
        publish::WatchRemoteDevice(hostOptions, options.remote->url, options.remote->device,
                                   options.remote->text, options.mqttCa.value_or(""),
                                   language.LanguageFlag);
        hostOptions.replayModelFromCapture = !run.model; // --model, as for a replay
    }
    hostOptions.portName = run.portName;
    host::Host host(ui, loop, hostOptions);
    hostPointer = &host;
    host.SetDispatchNotifier([&loop] { loop.Wake(); });

    bool noPort = false;
    const auto tellNoPort = [&] {
        ui.ShowMessage("Message", host.Text(102), host::MessageIcon::Exclamation);
    };
    host.Connection().SetNoPortListener([&](bool messageShown) {
        if (!messageShown) {
            tellNoPort();
        }
        noPort = true;
        loop.Quit();
    });
    const auto printStatus = [&](const std::string& miscount) {
        const host::AppState& state = host.State();
        const auto& text = state.record.ItemText;
        out << "rate=" << state.RateText << "HZ miscount=" << miscount
            << " mode=" << state.OutputMode.load() << " roll=" << text[0] << " pitch=" << text[1]
            << " yaw=" << text[2] << '\n'
            << std::flush;
    };
    bool replayDamaged = false;
    host.SetReplayEndListener([&](const recording::ReplayEnd& end) {
        // The state the capture left, whatever the last tick showed.
        printStatus(host.Receiver().MiscountText());
        replayDamaged = end.damaged;
        loop.Quit();
    });
    bool connectApplied = false;
    host.Connection().SetConnectFinishedListener([&] {
        if (connectApplied) {
            return;
        }
        connectApplied = true;
        if (options.mode) {
            ui.SelectListItem(host::Dialog::Main, host::main_id::kModeList, *options.mode);
            host.Commands().OnModeListChanged();
        }
        if (options.frequencyIndex) {
            ui.SelectListItem(host::Dialog::Main, host::main_id::kFrequencyList,
                              *options.frequencyIndex);
            host.Commands().OnFrequencyListChanged();
            host.Commands().OnFrequencySet();
        }
    });

    host.FillLists();
    host.ReadConfiguration();
    if (options.csvFormat) {
        host.Recording().UseCsvFormat(*options.csvFormat); // this run only, not stored
    }
    if (run.model) {
        ui.SelectListItem(host::Dialog::Main, host::main_id::kModelList, *run.model);
        host.Models().OnModelListChanged();
    }
    if (options.baud) {
        const std::string wanted = std::to_string(*options.baud);
        const auto bauds = ui.ListItems(host::Dialog::Main, host::main_id::kBaudList);
        int found = -1;
        for (std::size_t i = 0; i < bauds.size() && found < 0; ++i) {
            if (bauds[i] == wanted) {
                found = static_cast<int>(i);
            }
        }
        if (found < 0) {
            err << "orvanta: --baud " << wanted << " is not in the baud list\n" << kHeadlessUsage;
            return 2;
        }
        ui.SelectListItem(host::Dialog::Main, host::main_id::kBaudList, found);
    }
    if (options.parity) {
        const char letters[] = {'N', 'O', 'E'};
        for (int i = 0; i < 3; ++i) {
            if (letters[i] == *options.parity) {
                ui.SelectListItem(host::Dialog::Main, host::main_id::kParityList, i);
            }
        }
    }
    if (options.frequencyIndex &&
        *options.frequencyIndex >= protocol::ModelRow(host.State().ModelIndex).frequencyEntries) {
        err << "orvanta: --freq-index " << *options.frequencyIndex
            << " is not in the frequency list\n"
            << kHeadlessUsage;
        return 2;
    }

    if (run.port) {
        host.Connection().SelectPortPath(*run.port);
    }
    RecordingReport report(out, echoEndsInsideLine);
    // From before the connect sequence, which a replay needs to decode as this run does.
    if (run.capture) {
        const recording::StartResult capture = host.Recording().StartCapture(*run.capture);
        if (!capture) {
            host.Close(); // the capture writer has said why
            return kStatusNotRecorded;
        }
        report.Capture(capture.path);
    }
    // Publishing starts where the capture does when the device's name is known by now, so
    // that the raw topic holds the connect sequence; else once the port is open.
    std::unique_ptr<publish::SessionPublisher> publisher;
    const auto startPublishing = [&](const std::string& portPath) {
        if (!options.publish || publisher) {
            return;
        }
        publish::PublisherOptions mqtt;
        mqtt.url = *options.publish;
        mqtt.password = publish::PasswordFromEnvironment();
        mqtt.caFile = options.mqttCa.value_or("");
        mqtt.qos = options.mqttQos;
        mqtt.languageFlag = host.State().LanguageFlag;
        // Several ports under one given name are told apart by their port names.
        std::string device = options.deviceName.value_or(run.portName);
        if (!options.deviceName && device.empty()) {
            device = serial::ShortPortName(
                serial::IdentifyDevice(portPath, (environment.systemRoot / "sys").string(),
                                       (environment.systemRoot / "dev").string()));
        } else if (options.deviceName && !run.portName.empty()) {
            device += "_" + run.portName;
        }
        publisher = std::make_unique<publish::SessionPublisher>(host, ui, std::move(mqtt), device);
        std::string error;
        if (!publisher->Start(error)) {
            ui.ShowMessage("Message", "MQTT: " + error, host::MessageIcon::Exclamation);
        }
    };
    if (options.deviceName || run.port || options.replay) {
        startPublishing(run.port ? *run.port : options.replay.value_or(""));
    }
    if (run.port) {
        host.Connection().ToggleOpen(); // tells the user itself when the open fails
    } else if (!host.ConnectConfiguredPort() && !noPort && !host.Replaying() && !host.Remote()) {
        tellNoPort(); // the scan found nothing
    }
    if (!host.State().PortOpen) {
        host.Close();
        return 3;
    }
    startPublishing(host.State().Link.port);
    host.ApplyModelAtStart();
    host.StartRateTimerAndWorker();
    if (options.record) {
        host.Recording().OnRecordButton();
        const bool captureMissing = host.Recording().CaptureWithRecordings() && !run.capture &&
                                    !host.Recording().Capturing();
        if (!host.Recorder().Recording() || captureMissing) {
            host.Close(); // the recorder or the capture writer has said why
            return kStatusNotRecorded;
        }
        if (!run.capture && host.Recording().Capturing()) {
            report.Capture(host.Recording().CapturePath());
        }
    }
    host.Status().SetRateTickListener([&] {
        printStatus(miscountAtTick);
        report.NewFiles(host.Recorder().WrittenSoFar());
    });

    const auto deadline = options.durationSeconds
                              ? host::MainLoop::Clock::now() +
                                    std::chrono::duration_cast<host::MainLoop::Clock::duration>(
                                        std::chrono::duration<double>(*options.durationSeconds))
                              : host::MainLoop::Clock::time_point::max();
    loop.Run(deadline, [] { return host::StopSignals::Requested(); });

    host.Status().FlushEcho();
    const bool deviceAway = host.Connection().WaitingForDevice();
    if (host.Recorder().Recording()) {
        host.Recording().OnRecordButton();
    }
    if (publisher) {
        publisher->Stop();
    }
    host.Close();
    const std::uint64_t lostRows = host.Recorder().LostRows();
    const std::uint64_t lostRecords = host.Recording().LostCaptureRecords();
    if (options.record || run.capture) {
        report.End(host.Recorder().WrittenSoFar(), lostRows, lostRecords);
    }
    if (noPort) {
        return 3;
    }
    if (lostRows > 0 || lostRecords > 0) {
        return kStatusNotRecorded;
    }
    if (deviceAway) {
        return kStatusDeviceAway;
    }
    return replayDamaged ? 4 : 0;
}

} // namespace

} // namespace orvanta::headless
