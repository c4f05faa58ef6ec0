#pragma once
// A process table: processes a test puts there and those start() creates,
// each running until terminated, ended by the test or, for started ones, at
// the end of a scripted number of exit-code queries. Handles are counted so a
// test can assert that every one was closed.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_support.h"
#include "platform/processes.h"

namespace qm {

class FakeProcesses : public Processes {
  public:
    std::vector<ProcessInfo> snapshot() override;
    bool terminate(std::uint32_t processId, std::uint32_t exitCode) override;
    Handle start(const std::string& commandLine, int showState,
                 const std::string& workingFolder) override;
    bool startAsDesktopUser(const std::string& program, const std::string& arguments,
                            const std::string& workingFolder, int showState) override;
    bool elevated() override { return runsElevated; }
    // The answer comes after `consentPolls` polls of it, as the user takes
    // a while; the process starts only then.
    std::unique_ptr<ElevatedStart> startElevated(const std::string& program,
                                                 const std::string& arguments,
                                                 const std::string& workingFolder) override;
    std::optional<std::uint32_t> exitCode(Handle process) override;
    void close(Handle process) override;
    std::uint32_t currentSessionId() override { return currentSession; }
    std::optional<std::string> imagePath(std::uint32_t processId) override;
    std::string windowsFolder() override { return windowsDir; }
    void trimWorkingSet(std::size_t minimum, std::size_t maximum) override;

    static constexpr int kRunsUntilEnded = -1;

    struct Process {
        std::string exeName;
        std::uint32_t sessionId = 1;
        bool running = true;
        // While it runs, the code it will end with by itself; then the code
        // it ended with.
        std::uint32_t exitCode = 0;
        // Exit-code queries answered "still active" before it ends by itself.
        int queriesBeforeExit = kRunsUntilEnded;
        std::string commandLine;  // started ones only
        int showState = 0;
        std::string imagePath;  // empty: it cannot be read
    };
    // Ended processes stay in the table but leave the snapshot.
    std::map<std::uint32_t, Process> processes;

    // Adds a running process with the next free id and answers the id.
    std::uint32_t add(const std::string& exeName, std::uint32_t sessionId = 1);
    // Ends a process as if it exited by itself.
    void end(std::uint32_t processId, std::uint32_t exitCode = 0);
    [[nodiscard]] bool isRunning(std::uint32_t processId) const;
    // Ids of the running processes with that image name, without case.
    [[nodiscard]] std::vector<std::uint32_t> idsOf(const std::string& exeName) const;

    std::uint32_t currentSession = 1;
    std::string windowsDir = "C:\\Windows";
    // Whether a desktop shell answers startAsDesktopUser; none by default,
    // as under Wine.
    bool desktopShellRuns = false;

    // Processes that cannot be opened to end them (another user's, the
    // system's): terminate fails.
    std::set<std::uint32_t> protectedIds;
    // Processes stuck in the kernel: terminate reports success but they
    // keep running.
    std::set<std::uint32_t> survivesTerminate;

    // How each started process lives, unless onStart changes it.
    int startedQueriesBeforeExit = kRunsUntilEnded;
    std::uint32_t startedExitCode = 0;
    // Called with each started process before start() returns.
    std::function<void(std::uint32_t processId, Process& process)> onStart;

    FailSwitch failSnapshot, failTerminate, failStart, failExitCode;
    // The user refuses consent (or no elevation is possible).
    FailSwitch failElevate;
    // Polls of an elevated start answered "still asking"; kRunsUntilEnded:
    // the user never answers.
    int consentPolls = 0;
    // Elevated starts asked for, and those whose answer nobody waited for.
    int consentsAsked = 0;
    int consentsGivenUp = 0;
    // Whether this process runs with an administrator's full rights.
    bool runsElevated = false;

    struct TerminateCall {
        std::uint32_t processId;
        std::uint32_t exitCode;
        bool succeeded;
    };
    std::vector<TerminateCall> terminateCalls;
    enum class StartedBy { Process, DesktopShell, Elevated };
    struct StartCall {
        std::string
            commandLine;  // for the shell and elevated starts: the quoted program + arguments
        int showState;
        Handle handle;  // 0 when it did not start (always 0 through the desktop shell)
        std::string workingFolder;
        StartedBy by = StartedBy::Process;
    };
    std::vector<StartCall> startCalls;
    struct Trim {
        std::size_t minimum;
        std::size_t maximum;
    };
    std::vector<Trim> trims;

    // Handles start() gave out and close() has not taken back.
    [[nodiscard]] std::size_t openHandleCount() const { return handles_.size(); }
    // close calls with a handle that was not open.
    int badCloses = 0;

    // The start behind an elevated request, once the user has answered.
    Handle startAfterConsent(const std::string& commandLine, const std::string& workingFolder);

  private:
    std::uint32_t newId();
    // A started process in the table, with its handle (0 when `fails`).
    Handle launch(const std::string& commandLine, int showState, const std::string& workingFolder,
                  StartedBy by, bool fails);

    std::map<Handle, std::uint32_t> handles_;  // handle -> process id
    std::uint32_t nextId_ = 1000;
    Handle nextHandle_ = 0x200;
};

}  // namespace qm
