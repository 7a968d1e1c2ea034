#include "cli/commands.h"

#include <array>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/profile_file.h"
#include "cli/rate_command.h"
#include "device/device_link.h"
#include "device/find_result_text.h"
#include "device/hid_transport.h"
#include "device/pointer_reader.h"
#include "device/report_rate_meter.h"
#include "device/simulated_motion.h"
#include "device/simulated_session.h"
#include "device/write_retries.h"
#include "platform/instance_lock.h"
#include "profile/profile.h"
#include "settings/firmware_version.h"

namespace {

class Runner {
public:
    Runner(const CommandLine& line, CommandStreams& streams) : line_(line), io_(streams) {}

    int Run() {
        // A profile is read and checked before the mouse is touched.
        std::optional<ParsedProfile> profile;
        if (line_.command == Command::Import) {
            std::string text;
            if (!ReadProfileSource(line_.file, io_.in, text, error_)) {
                return Fail(kExitUsage, error_);
            }
            profile = ParseProfileText(text);
            if (!profile->problems.empty()) {
                return Problems(SourceName(), profile->problems);
            }
        }
        InstanceLock lock;
        switch (lock.Acquire(io_.lockFolder)) {
            case InstanceLock::Result::Acquired:
                break;
            case InstanceLock::Result::HeldElsewhere:
                return Fail(kExitMouse,
                            "the configuration window is open and holds the mouse; close it "
                            "and run the command again");
            case InstanceLock::Result::Unavailable:
                return Fail(kExitMouse,
                            "no instance lock can be had, so the configuration window may be "
                            "using the mouse; nothing was done: " +
                                lock.Problem());
        }
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
            // The session says why on stderr; the command's status says it too.
            simulation->SetSaveObserver([&simulationSaved](const std::string& error) {
                if (!error.empty()) {
                    simulationSaved = false;
                }
            });
        }
        int status = OpenMouse();
        if (status == kExitDone) {
            status = Dispatch(profile, simulation.get());
        }
        ReleaseDevice();
        if (status == kExitDone && !simulationSaved) {
            return Fail(kExitMouse,
                        "the simulated mouse took the settings, but its memory file was not saved");
        }
        return status;
    }

private:
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
            case Command::None:
                break;
        }
        return kExitUsage;
    }

    int OpenMouse() {
        if (FindDevice(kProductId)) {
            return kExitDone;
        }
        const FindResult result = LastFindResult();
        std::string text = FindResultText(result);
        if (result == FindResult::AccessDenied) {
            text += "\nTo allow it:\n" + UdevRuleInstallCommands();
        }
        return Fail(kExitMouse, text);
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

    int Export() {
        SettingsRecord record{};
        if (!ReadMouse(record)) {
            return Fail(kExitMouse, "the mouse did not send its settings; nothing was written");
        }
        std::vector<std::string> leftOut;
        const std::string text = FormatProfile(record, &leftOut);
        if (!WriteProfileDestination(line_.file, io_.out, text, error_)) {
            return Fail(kExitUsage, error_);
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
        return MeasureReportRate({line_.seconds, line_.json}, OpenPointerInterface(),
                                 SetRateHz(record.pollingRateCode), io_.out, io_.err);
    }

    std::string SourceName() const { return line_.file == "-" ? "<stdin>" : line_.file; }

    int Problems(const std::string& source, const std::vector<ProfileProblem>& problems) {
        for (const ProfileProblem& problem : problems) {
            io_.err << DescribeProblem(source, problem) << "\n";
        }
        io_.err << "kestrine-config: nothing was written to the mouse\n";
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
};

}  // namespace

int RunCommand(const CommandLine& line, CommandStreams& streams) {
    return Runner(line, streams).Run();
}
