#include "fakes/fake_processes.h"

#include <string_view>

namespace qm {
namespace {

// The image a command line names: its first word, or the quoted part, without
// the folder; ".exe" is implied when the name has no extension.
std::string imageName(std::string_view commandLine) {
    std::string_view rest = trimBlanks(commandLine);
    std::string_view program;
    if (!rest.empty() && rest.front() == '"') {
        rest.remove_prefix(1);
        program = rest.substr(0, rest.find('"'));
    } else {
        program = rest.substr(0, rest.find_first_of(" \t"));
    }
    const std::size_t slash = program.find_last_of("\\/");
    if (slash != std::string_view::npos) program.remove_prefix(slash + 1);
    std::string name(program);
    if (!name.empty() && name.find('.') == std::string::npos) name += ".exe";
    return name;
}

}  // namespace

std::vector<ProcessInfo> FakeProcesses::snapshot() {
    std::vector<ProcessInfo> list;
    if (failSnapshot.next()) return list;
    for (const auto& [id, process] : processes) {
        if (process.running) list.push_back({id, process.exeName, process.sessionId});
    }
    return list;
}

bool FakeProcesses::terminate(std::uint32_t processId, std::uint32_t exitCode) {
    auto it = processes.find(processId);
    // An ended process cannot be ended again; a protected one cannot be opened.
    const bool ok = !failTerminate.next() && it != processes.end() && it->second.running &&
                    protectedIds.count(processId) == 0;
    if (ok && survivesTerminate.count(processId) == 0) {
        it->second.running = false;
        it->second.exitCode = exitCode;
    }
    terminateCalls.push_back({processId, exitCode, ok});
    return ok;
}

Processes::Handle FakeProcesses::launch(const std::string& commandLine, int showState,
                                        const std::string& workingFolder, StartedBy by,
                                        bool fails) {
    const std::string image = imageName(commandLine);
    Handle handle = 0;
    Process* started = nullptr;
    std::uint32_t id = 0;
    if (!fails && !image.empty()) {
        id = newId();
        started = &processes[id];
        started->exeName = image;
        started->sessionId = currentSession;
        started->exitCode = startedExitCode;
        started->queriesBeforeExit = startedQueriesBeforeExit;
        started->commandLine = commandLine;
        started->showState = showState;
        if (by != StartedBy::DesktopShell) {
            handle = nextHandle_;
            nextHandle_ += 4;
            handles_[handle] = id;
        }
    }
    startCalls.push_back({commandLine, showState, handle, workingFolder, by});
    if (started != nullptr && onStart) onStart(id, *started);
    return handle;
}

Processes::Handle FakeProcesses::start(const std::string& commandLine, int showState,
                                       const std::string& workingFolder) {
    return launch(commandLine, showState, workingFolder, StartedBy::Process, failStart.next());
}

bool FakeProcesses::startAsDesktopUser(const std::string& program, const std::string& arguments,
                                       const std::string& workingFolder, int showState) {
    if (!desktopShellRuns) return false;
    const std::string commandLine =
        "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
    launch(commandLine, showState, workingFolder, StartedBy::DesktopShell, false);
    return true;
}

namespace {

class FakeElevatedStart final : public ElevatedStart {
  public:
    FakeElevatedStart(FakeProcesses& owner, std::string commandLine, std::string folder)
        : owner_(owner), commandLine_(std::move(commandLine)), folder_(std::move(folder)),
          pollsLeft_(owner.consentPolls) {}
    ~FakeElevatedStart() override {
        if (!answered_) ++owner_.consentsGivenUp;
    }

    std::optional<std::uintptr_t> answer() override {
        if (!answered_) {
            if (pollsLeft_ == FakeProcesses::kRunsUntilEnded) return std::nullopt;
            if (pollsLeft_ > 0) {
                --pollsLeft_;
                return std::nullopt;
            }
            answered_ = true;
            handle_ = owner_.startAfterConsent(commandLine_, folder_);
        }
        return handle_;
    }

  private:
    FakeProcesses& owner_;
    std::string commandLine_, folder_;
    int pollsLeft_;
    bool answered_ = false;
    Processes::Handle handle_ = 0;
};

}  // namespace

std::unique_ptr<ElevatedStart> FakeProcesses::startElevated(const std::string& program,
                                                            const std::string& arguments,
                                                            const std::string& workingFolder) {
    const std::string commandLine =
        "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
    ++consentsAsked;
    return std::make_unique<FakeElevatedStart>(*this, commandLine, workingFolder);
}

Processes::Handle FakeProcesses::startAfterConsent(const std::string& commandLine,
                                                   const std::string& workingFolder) {
    return launch(commandLine, 0, workingFolder, StartedBy::Elevated, failElevate.next());
}

std::optional<std::string> FakeProcesses::imagePath(std::uint32_t processId) {
    auto it = processes.find(processId);
    if (it == processes.end() || !it->second.running || it->second.imagePath.empty()) {
        return std::nullopt;
    }
    return it->second.imagePath;
}

std::optional<std::uint32_t> FakeProcesses::exitCode(Handle process) {
    if (failExitCode.next()) return std::nullopt;
    auto h = handles_.find(process);
    if (h == handles_.end()) return std::nullopt;
    auto it = processes.find(h->second);
    if (it == processes.end()) return std::nullopt;
    Process& p = it->second;
    if (p.running && p.queriesBeforeExit != kRunsUntilEnded) {
        if (p.queriesBeforeExit == 0) {
            p.running = false;
        } else {
            --p.queriesBeforeExit;
        }
    }
    return p.running ? kStillActive : p.exitCode;
}

void FakeProcesses::close(Handle process) {
    if (handles_.erase(process) == 0) ++badCloses;
}

void FakeProcesses::trimWorkingSet(std::size_t minimum, std::size_t maximum) {
    trims.push_back({minimum, maximum});
}

std::uint32_t FakeProcesses::add(const std::string& exeName, std::uint32_t sessionId) {
    const std::uint32_t id = newId();
    Process& p = processes[id];
    p.exeName = exeName;
    p.sessionId = sessionId;
    return id;
}

void FakeProcesses::end(std::uint32_t processId, std::uint32_t exitCode) {
    auto it = processes.find(processId);
    if (it == processes.end() || !it->second.running) return;
    it->second.running = false;
    it->second.exitCode = exitCode;
}

bool FakeProcesses::isRunning(std::uint32_t processId) const {
    auto it = processes.find(processId);
    return it != processes.end() && it->second.running;
}

std::vector<std::uint32_t> FakeProcesses::idsOf(const std::string& exeName) const {
    std::vector<std::uint32_t> ids;
    for (const auto& [id, process] : processes) {
        if (process.running && equalsNoCase(process.exeName, exeName)) ids.push_back(id);
    }
    return ids;
}

// Ids go up in fours, as the system's do, past any a test chose itself.
std::uint32_t FakeProcesses::newId() {
    while (processes.count(nextId_) > 0) nextId_ += 4;
    const std::uint32_t id = nextId_;
    nextId_ += 4;
    return id;
}

}  // namespace qm
