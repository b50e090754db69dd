#include "headless/HeadlessRun.h"

#include "config/ConfigValues.h"
#include "config/LanguageChoice.h"
#include "host/ControlModel.h"
#include "host/Host.h"
#include "host/MainLoop.h"
#include "host/StopSignals.h"
#include "serial/PortDescription.h"

#include <cstdlib>
#include <iostream>
#include <mutex>

namespace orvanta::headless {

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

    const config::LanguageChoice language =
        config::ChooseLanguage(environment.configPath, environment.systemLocaleIsChineseChina);

    host::ControlModel ui;
    ui.SetMessageSink([&err](std::string_view caption, std::string_view text, host::MessageIcon) {
        err << caption << ": " << text << '\n' << std::flush;
    });
    if (options.monitor) {
        ui.SetMonitorSink([&out](std::string_view text) { out << text << std::flush; });
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
    host.Status().SetRateTickListener([&] { printStatus(miscountAtTick); });
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
    if (options.model) {
        ui.SelectListItem(host::Dialog::Main, host::main_id::kModelList, *options.model);
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

    if (options.port) {
        host.Connection().SelectPortPath(*options.port);
    }
    // From before the connect sequence, which a replay needs to decode as this run does.
    if (options.capture && !host.Recording().StartCapture(*options.capture)) {
        err << "orvanta: the capture could not be started\n";
        host.Close();
        return 2;
    }
    if (options.port) {
        host.Connection().ToggleOpen(); // tells the user itself when the open fails
    } else if (!host.ConnectConfiguredPort() && !noPort && !host.Replaying()) {
        tellNoPort(); // the scan found nothing
    }
    if (!host.State().PortOpen) {
        host.Close();
        return 3;
    }
    host.ApplyModelAtStart();
    host.StartRateTimerAndWorker();
    if (options.record) {
        host.Recording().OnRecordButton();
    }

    const auto deadline = options.durationSeconds
                              ? host::MainLoop::Clock::now() +
                                    std::chrono::duration_cast<host::MainLoop::Clock::duration>(
                                        std::chrono::duration<double>(*options.durationSeconds))
                              : host::MainLoop::Clock::time_point::max();
    loop.Run(deadline, [] { return host::StopSignals::Requested(); });

    host.Status().FlushEcho();
    if (host.Recorder().Recording()) {
        host.Recording().OnRecordButton();
    }
    host.Close();
    return noPort ? 3 : replayDamaged ? 4 : 0;
}

} // namespace orvanta::headless
