#pragma once

#include "devsim/DeviceSimulator.h"
#include "host/ControlModel.h"
#include "host/Host.h"
#include "host/MainLoop.h"
#include "support/ProgramFolder.h"
#include "support/SimulatedDevice.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace orvanta::host::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using orvanta::testing::ProgramFolder;
using orvanta::testing::Shown;

// A host with an in-memory window, a real event loop and a program folder.
class HostFixture : public ::testing::Test {
protected:
    void MakeHost(int languageFlag = 1, std::vector<std::string> ports = {}) {
        ports_ = std::move(ports);
        loop_ = std::make_unique<MainLoop>([this](int id) { host_->OnTimer(id); },
                                           [this] { host_->DispatchPending(); });
        HostOptions options;
        options.configPath = folder_.config();
        options.dataDirectory = folder_.data();
        options.languageFlag = languageFlag;
        if (!deviceDir_.empty()) {
            options.deviceDir = deviceDir_;
        }
        options.listPorts = [this](const std::string& configured) {
            std::vector<std::string> list = ports_;
            if (!configured.empty() && fs::exists(configured) &&
                std::find(list.begin(), list.end(), configured) == list.end()) {
                list.push_back(configured);
            }
            return list;
        };
        ui_.SetMessageSink([this](std::string_view caption, std::string_view text, MessageIcon) {
            shown_.push_back({std::string(caption), std::string(text)});
        });
        host_ = std::make_unique<Host>(ui_, timers_ ? *timers_ : *loop_, options);
        host_->SetDispatchNotifier([this] { loop_->Wake(); });
    }

    void TearDown() override {
        if (host_) {
            host_->Close();
        }
        host_.reset();
        for (auto& simulator : simulators_) {
            simulator->Stop();
        }
    }

    devsim::DeviceSimulator& StartSimulator(devsim::Model model, std::uint32_t baud = 115200,
                                            std::uint8_t autoDivider = 0,
                                            std::uint32_t corruptEvery = 0) {
        devsim::SimulatorOptions options;
        options.model = model;
        options.baud = baud;
        options.autoDivider = autoDivider;
        options.corruptEvery = corruptEvery;
        simulators_.push_back(orvanta::testing::StartDevice(options, LinkPath(simulators_.size())));
        return *simulators_.back();
    }
    std::string LinkPath(std::size_t simulator = 0) const {
        return (folder_.root() / ("device" + std::to_string(simulator))).string();
    }

    // Runs the event loop until pred holds or the time is up; returns pred().
    bool RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 5000ms) {
        loop_->Run(MainLoop::Clock::now() + timeout, pred);
        return pred();
    }
    void RunFor(std::chrono::milliseconds duration) {
        loop_->Run(MainLoop::Clock::now() + duration);
    }

    int ListIndexOf(Dialog dialog, int id, const std::string& text) const {
        const auto items = ui_.ListItems(dialog, id);
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i] == text) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    const std::string& Slot(int slot) const {
        return host_->State().record.ItemText[static_cast<std::size_t>(slot)];
    }
    std::string Monitor() const { return ui_.MonitorContent(); }
    bool Connected() const { return !ui_.Text(Dialog::Main, main_id::kModeCaption).empty(); }

    ProgramFolder folder_;
    ControlModel ui_;
    std::vector<Shown> shown_;
    std::vector<std::string> ports_;
    std::string deviceDir_;          // the system's when empty
    TimerService* timers_ = nullptr; // the loop's own timers when null
    std::unique_ptr<MainLoop> loop_;
    std::unique_ptr<Host> host_;
    std::vector<std::unique_ptr<devsim::DeviceSimulator>> simulators_;
};

} // namespace orvanta::host::testing
