#include "update/UpdateCommands.h"

#include "store/AtomicFile.h"
#include "update/ProgressPrinter.h"

using Result = KVFirmwareUpdateController::Result;

std::optional<KVUpdateCommand> parseUpdateCommand(std::span<const std::string> words, std::string& error) {
    const auto is = [&](std::string_view group, std::string_view verb) {
        return words.size() >= 2 && words[0] == group && words[1] == verb;
    };
    if (is("update", "check") && words.size() == 2)
        return KVUpdateCommand{KVUpdateCommand::Kind::Check, {}};
    if (is("update", "install") && words.size() == 2)
        return KVUpdateCommand{KVUpdateCommand::Kind::InstallConfigurator, {}};
    if (is("firmware", "upgrade") && words.size() <= 3)
        return KVUpdateCommand{KVUpdateCommand::Kind::UpgradeFirmware, words.size() == 3 ? words[2] : ""};
    if (is("firmware", "install") && words.size() == 3)
        return KVUpdateCommand{KVUpdateCommand::Kind::InstallFirmware, words[2]};
    error = "expected: update check | update install | firmware upgrade [VERSION] | firmware install FILE";
    return std::nullopt;
}

std::string formatUpdateCheck(const KVFirmwareUpdateController& controller) {
    return "Firmware version:      " + controller.CurrentFirmwareText() + "\n" +
           "Available firmware:    " + controller.AvailableFirmwareText() + "\n" +
           "Configurator version:  " + controller.ownVersion() + "\n" +
           "Available configurator: " + controller.AvailableConfiguratorText() + "\n";
}

void runUpdateCommand(KVFirmwareUpdateController& controller, const KVUpdateCommand& command,
                      std::function<void(unsigned percent)> progress,
                      std::function<void(const Result&)> done) {
    KVFirmwareUpdateController::Callbacks callbacks{std::move(progress), done};
    switch (command.kind) {
    case KVUpdateCommand::Kind::Check:
        // Two small lists: no progress worth showing.
        controller.CheckForUpdates(
            {{}, [&controller, done](const Result& result) {
                 done(result.ok ? Result{true, formatUpdateCheck(controller)} : result);
             }});
        return;
    case KVUpdateCommand::Kind::InstallConfigurator:
        controller.InstallConfigurator(std::move(callbacks));
        return;
    case KVUpdateCommand::Kind::UpgradeFirmware:
        controller.UpgradeFirmware(command.argument, std::move(callbacks));
        return;
    case KVUpdateCommand::Kind::InstallFirmware: {
        // An image larger than the largest the keyboard takes is refused unread.
        const auto bytes = corvane::readFileBounded(command.argument, corvane::update::kFirmwareImageLimit);
        if (!bytes)
            return done({false, "cannot read " + command.argument +
                                    " as a firmware image (missing, not a "
                                    "regular file, or larger than 1 MiB)"});
        const auto* data = reinterpret_cast<const uint8_t*>(bytes->data());
        return done(controller.InstallFirmwareImage({data, bytes->size()}));
    }
    }
}
