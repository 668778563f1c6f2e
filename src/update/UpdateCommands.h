#pragma once

#include "update/FirmwareUpdateController.h"

#include <functional>
#include <optional>
#include <span>
#include <string>

// The update commands a user gives on a command line:
//
//   update check                 the keyboard's firmware and this program, and what is published
//   update install               download the published configurator package and open it
//   firmware upgrade [VERSION]   download the latest (or VERSION), check it, write it to the keyboard
//   firmware install FILE        check a local image and write it to the keyboard
struct KVUpdateCommand {
    enum class Kind { Check, InstallConfigurator, UpgradeFirmware, InstallFirmware };
    Kind kind = Kind::Check;
    std::string argument; // VERSION or FILE
};

// The command in `words` ("firmware", "upgrade", "0.76b"); nothing, with `error` set, otherwise.
std::optional<KVUpdateCommand> parseUpdateCommand(std::span<const std::string> words, std::string& error);

// The versions as a user reads them, one per line.
std::string formatUpdateCheck(const KVFirmwareUpdateController& controller);

// Runs `command` on the controller (loop thread). `progress` (may be empty) hears of downloads; `done`
// gets the outcome, with the check's report as its message.
void runUpdateCommand(KVFirmwareUpdateController& controller, const KVUpdateCommand& command,
                      std::function<void(unsigned percent)> progress,
                      std::function<void(const KVFirmwareUpdateController::Result&)> done);
