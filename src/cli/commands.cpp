#include "cli/commands.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/agent_command.h"
#include "cli/cpi_check_command.h"
#include "cli/profile_file.h"
#include "cli/rate_command.h"
#include "cli/rules_command.h"
#include "device/device_link.h"
#include "device/find_result_text.h"
#include "device/hid_transport.h"
#include "device/pointer_reader.h"
#include "device/report_rate_meter.h"
#include "device/simulated/simulated_motion.h"
#include "device/simulated/simulated_mouse.h"
#include "device/simulated/simulated_session.h"
#include "device/sleep.h"
#include "device/user_command_lock.h"
#include "device/write_retries.h"
#include "platform/instance_lock.h"
#include "profile/action_names.h"
#include "profile/profile.h"
#include "settings/firmware_version.h"

namespace {

constexpr unsigned kLockPollMs = 100;

class Runner {
public:
    Runner(const CommandLine& line, CommandStreams& streams) : line_(line), io_(streams) {}

    int Run() {
        // Input is read and checked before the mouse is looked for: a bad
        // profile or setting is reported the same with or without one.
        std::optional<ParsedProfile> profile;
        if (line_.command == Command::Import || line_.command == Command::Check) {
            std::string text;
            if (!ReadFileOrStdin(line_.file, io_.in, kMaxProfileBytes, "a profile", text, error_)) {
                return Fail(kExitUsage, error_);
            }
            profile = ParseProfileText(text);
            if (const auto problems = CheckProfile(*profile); !problems.empty()) {
                return Problems(SourceName(), problems);
            }
            if (line_.command == Command::Check) {
                io_.out << SourceName() << ": a good profile\n";
                return OutputWritten();
            }
        }
        // On a terminal a person may have typed reset by mistake; a script says --yes
        // or runs without a terminal, as before.
        if (line_.command == Command::Reset && io_.terminal && !line_.yes && !ResetConfirmed()) {
            io_.err << "Nothing was changed.\n";
            return kExitMouse;
        }
        if (line_.command == Command::RulesCheck) {
            const int status = CheckRulesFile(line_.file, io_.in, io_.out, io_.err);
            return status == kExitDone ? OutputWritten() : status;
        }
        if (line_.command == Command::Keys) {
            for (const std::string& name : BindableKeyNames()) {
                io_.out << name << "\n";
            }
            return OutputWritten();
        }
        if (line_.command == Command::Get) {
            SettingsRecord defaults{};
            LoadDefaultSettings(defaults);
            if (!ProfileValueText(defaults, line_.name, error_)) {
                return Fail(kExitUsage, error_);
            }
        }
        if (line_.command == Command::Set) {
            SettingsRecord trial{};
            LoadDefaultSettings(trial);
            if (auto problems = ApplyAssignments(line_.assignments, trial); !problems.empty()) {
                return Problems("kestrine-config set", problems);
            }
        }
        lock_.emplace(InstanceLock::Holder::Command);
        if (const int status = TakeLock(*lock_); status != kExitDone) {
            return status;
        }
        // The agent may be reading the mouse: the two take turns at each command.
        UseUserCommandLock(lock_->Folder());
        bool simulationSaved = true;
        std::unique_ptr<SimulatedSession> simulation;
        if (line_.simulate) {
            simulation = SimulatedSession::Start(line_.simulateFile, error_);
            if (!simulation) {
                return Fail(kExitUsage, error_);
            }
            if (!simulation->Notice().empty()) {
                io_.err << "kestrine-config: " << simulation->Notice() << "\n";
            }
            for (unsigned extra = 1; extra < line_.simulatedMice; ++extra) {
                simulation->Mouse().AddMouse();
            }
            // The session says why on stderr; the command's status says it too.
            simulation->SetSaveObserver([&simulationSaved](const std::string& error) {
                if (!error.empty()) {
                    simulationSaved = false;
                }
            });
        }
        int status = line_.command == Command::List ? List() : OpenMouse();
        if (status == kExitDone && line_.command != Command::List) {
            status = Dispatch(profile, simulation.get());
        }
        LeaveTheMouse();
        if (status == kExitDone) {
            status = OutputWritten();
        }
        if (status == kExitDone && !simulationSaved) {
            return Fail(kExitMouse,
                        "the simulated mouse took the settings, but its memory file was not saved");
        }
        return status;
    }

private:
    // Closes the mouse and lets the window and other commands have it.
    void LeaveTheMouse() {
        ReleaseDevice();
        ChooseDevice({});
        UseUserCommandLock({});
        lock_.reset();
    }

    // Another command is usually done in a moment, so it is waited for; the
    // window is not.
    int TakeLock(InstanceLock& lock) {
        const unsigned limitMs = line_.waitSeconds * 1000;
        unsigned waitedMs = 0;
        for (;;) {
            switch (lock.Acquire(io_.lockFolder)) {
                case InstanceLock::Result::Acquired:
                    return kExitDone;
                case InstanceLock::Result::Unavailable:
                    return Fail(kExitMouse,
                                "no instance lock can be had, so the configuration window may be "
                                "using the mouse; nothing was done: " +
                                    lock.Problem());
                case InstanceLock::Result::HeldElsewhere:
                    break;
            }
            const InstanceLock::HolderInfo holder = lock.HeldBy();
            if (holder.holder == InstanceLock::Holder::Window || waitedMs >= limitMs) {
                return Fail(kExitMouse, HeldText(holder));
            }
            SleepMs(kLockPollMs);
            waitedMs += kLockPollMs;
        }
    }

    std::string HeldText(const InstanceLock::HolderInfo& holder) const {
        const std::string pid = holder.pid > 0 ? " (pid " + std::to_string(holder.pid) + ")" : "";
        switch (holder.holder) {
            case InstanceLock::Holder::Window:
                return "the configuration window is open" + pid +
                       " and holds the mouse; close it and run the command again";
            case InstanceLock::Holder::Command:
                return "another kestrine-config command" + pid + " is still using the mouse" +
                       (line_.waitSeconds > 0 ? " after " + std::to_string(line_.waitSeconds) +
                                                    " s of waiting (--wait SECONDS waits longer)"
                                              : "") +
                       "; nothing was done";
            case InstanceLock::Holder::Agent:
                return "the background agent" + pid + " is still writing a profile to the mouse" +
                       "; nothing was done";
            case InstanceLock::Holder::Unknown:
                break;
        }
        return "the configuration window or another kestrine-config command holds the mouse; "
               "nothing was done";
    }

    // Output that never arrived (a full disk, a closed pipe) is a failure.
    int OutputWritten() {
        errno = 0;
        io_.out.flush();
        if (!io_.out) {
            const int error = errno;
            return Fail(kExitMouse,
                        "the output could not be written" +
                            (error != 0 ? std::string(": ") + std::strerror(error) : ""));
        }
        return kExitDone;
    }

    int Dispatch(const std::optional<ParsedProfile>& profile, SimulatedSession* simulation) {
        switch (line_.command) {
            case Command::Info:
                return Info();
            case Command::Show:
                return Show();
            case Command::Export:
                return Export();
            case Command::Import:
                return Import(*profile);
            case Command::Set:
                return Set();
            case Command::Reset:
                return Reset();
            case Command::Rate:
                return Rate(simulation);
            case Command::CpiCheck:
                return CpiCheck(simulation);
            case Command::Get:
                return Get();
            case Command::Check:
            case Command::RulesCheck:
            case Command::Keys:
            case Command::List:
            case Command::Agent:
            case Command::None:
                break;
        }
        return kExitUsage;
    }

    int OpenMouse() {
        const std::vector<HidInterfaceInfo> mice = ListMice(kProductId);
        if (!line_.device.empty()) {
            const std::optional<std::string> path = ChosenPath(mice);
            if (!path) {
                return Fail(kExitMouse, "no connected mouse is " + line_.device + " (" +
                                            std::to_string(mice.size()) +
                                            " connected; kestrine-config list shows them)");
            }
            ChooseDevice(*path);
        } else if (mice.size() > 1) {
            io_.err << "kestrine-config: note: " << mice.size()
                    << " mice are connected; this command uses the first, " << mice.front().path
                    << " (choose one with --device, see kestrine-config list)\n";
        }
        if (FindDevice(kProductId)) {
            return kExitDone;
        }
        const FindResult result = LastFindResult();
        std::string text = FindResultText(result);
        if (result == FindResult::AccessDenied) {
            // The same words as the window's status line.
            text += "\n" + UdevRuleInstallHint() + "\n" + UdevRuleInstallCommands();
        }
        return Fail(kExitMouse, text);
    }

    // --device N counts from 1 in list's order; anything else is a path.
    std::optional<std::string> ChosenPath(const std::vector<HidInterfaceInfo>& mice) const {
        const std::string& wanted = line_.device;
        if (!wanted.empty() && wanted.size() < 4 &&
            wanted.find_first_not_of("0123456789") == std::string::npos) {
            const size_t number = std::stoul(wanted);
            if (number >= 1 && number <= mice.size()) {
                return mice[number - 1].path;
            }
            return std::nullopt;
        }
        for (const HidInterfaceInfo& mouse : mice) {
            if (mouse.path == wanted) {
                return mouse.path;
            }
        }
        return std::nullopt;
    }

    // One line per mouse; each is opened in turn for its firmware version.
    int List() {
        const std::vector<HidInterfaceInfo> mice = ListMice(kProductId);
        if (mice.empty()) {
            return Fail(kExitMouse, FindResultText(FindResult::NoMouse));
        }
        for (size_t i = 0; i < mice.size(); ++i) {
            std::string firmware;
            ChooseDevice(mice[i].path);
            std::array<uint8_t, kFirmwareBlockSize> block{};
            if (!FindDevice(kProductId)) {
                firmware = FindResultText(LastFindResult());
            } else if (ReadFirmwareInfo(block) != 1) {
                firmware = "the mouse did not answer the firmware query";
            } else {
                firmware = "firmware " + FirmwareVersionText(block[1] + 256u * block[2]);
            }
            ReleaseDevice();
            io_.out << i + 1 << "  " << mice[i].path << "  serial "
                    << (mice[i].serial.empty() ? "(none)" : mice[i].serial) << "  " << firmware
                    << "\n";
        }
        return kExitDone;
    }

    int Info() {
        std::array<uint8_t, kFirmwareBlockSize> block{};
        if (ReadFirmwareInfo(block) != 1) {
            return Fail(kExitMouse, "the mouse did not answer the firmware query");
        }
        io_.out << "Firmware version: " << FirmwareVersionText(block[1] + 256u * block[2]) << "\n"
                << "Device path: " << FoundDevicePath() << "\n"
                << "Access: " << FindResultText(LastFindResult()) << "\n";
        return kExitDone;
    }

    bool ReadMouse(SettingsRecord& record) {
        if (ReadSettings() != 1) {
            return false;
        }
        DecodeSettingsImage(lastReadImage, record);
        return true;
    }

    int Show() {
        SettingsRecord record{};
        if (!ReadMouse(record)) {
            return Fail(kExitMouse, "the mouse did not send its settings");
        }
        std::vector<std::string> leftOut;
        io_.out << (line_.json ? FormatProfileJson(record, &leftOut)
                               : FormatProfile(record, &leftOut));
        Notes(leftOut);
        return kExitDone;
    }

    int Get() {
        SettingsRecord record{};
        if (!ReadMouse(record)) {
            return Fail(kExitMouse, "the mouse did not send its settings");
        }
        const std::optional<std::string> value = ProfileValueText(record, line_.name, error_);
        if (!value) {
            return Fail(kExitMouse, error_);
        }
        io_.out << *value << "\n";
        return kExitDone;
    }

    int Export() {
        SettingsRecord record{};
        if (!ReadMouse(record)) {
            return Fail(kExitMouse, "the mouse did not send its settings; nothing was written");
        }
        std::vector<std::string> leftOut;
        const std::string text = FormatProfile(record, &leftOut);
        switch (WriteFileOrStdout(line_.file, io_.out, text, "a profile", error_)) {
            case WriteResult::Written:
                break;
            case WriteResult::Refused:  // a place no profile goes is bad usage
                return Fail(kExitUsage, error_);
            case WriteResult::Failed:  // a full disk is not
                return Fail(kExitMouse, error_);
        }
        Notes(leftOut);
        return kExitDone;
    }

    int Import(const ParsedProfile& profile) {
        SettingsRecord record{};
        if (!ReadMouse(record)) {
            return Fail(kExitMouse, "the mouse did not send its settings; nothing was written");
        }
        const SettingsRecord before = record;
        if (auto problems = ApplyProfile(profile, record); !problems.empty()) {
            return Problems(SourceName(), problems);
        }
        return Write(before, record);
    }

    int Set() {
        SettingsRecord record{};
        if (!ReadMouse(record)) {
            return Fail(kExitMouse, "the mouse did not send its settings; nothing was written");
        }
        const SettingsRecord before = record;
        if (auto problems = ApplyAssignments(line_.assignments, record); !problems.empty()) {
            return Problems("kestrine-config set", problems);
        }
        return Write(before, record);
    }

    int Write(const SettingsRecord& before, const SettingsRecord& record) {
        if (!SettingsDiffer(before, record)) {
            io_.out << "The mouse already holds these settings.\n";
            return kExitDone;
        }
        if (!WriteSettingsWithRetries(record)) {
            return Fail(kExitMouse,
                        "the mouse did not confirm the new settings (three tries); it may hold "
                        "the old ones or the new ones, run show to see which");
        }
        io_.out << "Settings written to the mouse.\n";
        return kExitDone;
    }

    int Reset() {
        if (FactoryReset() != 1) {
            return Fail(kExitMouse, "the mouse did not confirm the factory reset");
        }
        io_.out << "The mouse is back at its factory settings.\n";
        return kExitDone;
    }

    int Rate(SimulatedSession* simulation) {
        SettingsRecord record{};
        if (!ReadMouse(record)) {
            return Fail(kExitMouse, "the mouse did not send its settings");
        }
        std::unique_ptr<SimulatedMotion> motion;
        if (simulation && line_.simulatedMotion > 0) {
            motion = std::make_unique<SimulatedMotion>(simulation->Mouse());
            motion->Start(line_.simulatedMotion);
        }
        std::unique_ptr<HidConnection> pointer = OpenPointerInterface();
        // Measuring only listens: a `set` or the window may have the mouse meanwhile.
        LeaveTheMouse();
        return MeasureReportRate({line_.seconds, line_.json}, std::move(pointer),
                                 SetRateHz(record.pollingRateCode), io_.out, io_.err);
    }

    int CpiCheck(SimulatedSession* simulation) {
        SettingsRecord record{};
        if (!ReadMouse(record)) {
            return Fail(kExitMouse, "the mouse did not send its settings");
        }
        const CpiCheckOptions options{line_.strokeInches, line_.strokes, line_.json};
        std::unique_ptr<SimulatedMotion> motion;
        StrokeMaker makeStroke;
        if (simulation && line_.simulatedStrokePercent) {
            motion = std::make_unique<SimulatedMotion>(simulation->Mouse());
            const StrokeCounts counts = TrueStrokeCounts(
                record, options.distanceInches, *line_.simulatedStrokePercent, StrokeWay::Right);
            makeStroke = [&motion, &simulation, counts] {
                motion->Stroke(counts);
                motion->WaitUntilStill();
                simulation->Mouse().WaitUntilPointerReportsTaken();
            };
        }
        std::unique_ptr<HidConnection> pointer = OpenPointerInterface();
        // Measuring only listens: a `set` or the window may have the mouse meanwhile.
        LeaveTheMouse();
        return CheckCpi(options, std::move(pointer), ActiveLevelCpi(record), makeStroke, io_.in,
                        io_.out, io_.err);
    }

    bool ResetConfirmed() {
        io_.err << "Restore the factory settings? Every setting on the mouse is replaced. "
                   "[y/N] ";
        io_.err.flush();
        std::string answer;
        std::getline(io_.in, answer);
        return answer == "y" || answer == "Y" || answer == "yes";
    }

    std::string SourceName() const { return line_.file == "-" ? "<stdin>" : line_.file; }

    int Problems(const std::string& source, const std::vector<ProfileProblem>& problems) {
        for (const ProfileProblem& problem : problems) {
            io_.err << DescribeProblem(source, problem) << "\n";
        }
        if (line_.command != Command::Check) {
            io_.err << "kestrine-config: nothing was written to the mouse\n";
        }
        return kExitUsage;
    }

    void Notes(const std::vector<std::string>& notes) {
        for (const std::string& note : notes) {
            io_.err << "kestrine-config: note: " << note << "\n";
        }
    }

    int Fail(int status, const std::string& message) {
        io_.err << "kestrine-config: " << message << "\n";
        return status;
    }

    const CommandLine& line_;
    CommandStreams& io_;
    std::string error_;
    std::optional<InstanceLock> lock_;
};

}  // namespace

int RunCommand(const CommandLine& line, CommandStreams& streams) {
    if (line.command == Command::Agent) {
        return RunAgentCommand(line, streams);
    }
    return Runner(line, streams).Run();
}
