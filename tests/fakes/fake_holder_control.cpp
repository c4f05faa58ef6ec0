#include "fakes/fake_holder_control.h"

#include <algorithm>

namespace qm {

FakeHolderControl::Process& FakeHolderControl::add(std::uint32_t processId, std::uint64_t startTime,
                                                   const std::string& imagePath) {
    Process& p = processes[processId];
    p = Process{};
    p.facts.state = ProcessState::Running;
    p.facts.startTime = startTime;
    p.facts.sessionId = 1;
    p.facts.userKnown = true;
    p.facts.sameUser = true;
    p.facts.imagePath = imagePath;
    return p;
}

WindowId FakeHolderControl::addWindow(std::uint32_t processId, const std::string& title,
                                      bool minimised) {
    const WindowId w = nextWindow_++;
    processes[processId].windows.push_back(ProgramWindow{w, title, minimised});
    return w;
}

WindowId FakeHolderControl::addFolderWindow(std::uint32_t processId, const std::string& title) {
    const WindowId w = nextWindow_++;
    folderWindows[w] = {processId, title};
    return w;
}

void FakeHolderControl::exit(std::uint32_t processId) {
    const auto it = processes.find(processId);
    if (it == processes.end()) return;
    it->second.facts.state = ProcessState::Gone;
    it->second.windows.clear();
    std::erase_if(folderWindows, [&](const auto& w) { return w.second.first == processId; });
}

ProcessFacts FakeHolderControl::processFacts(std::uint32_t processId) {
    ++factsAsked;
    const auto it = processes.find(processId);
    return it == processes.end() ? ProcessFacts{} : it->second.facts;
}

std::vector<ProgramWindow> FakeHolderControl::programWindows(std::uint32_t processId) {
    const auto it = processes.find(processId);
    if (it == processes.end() || it->second.facts.state != ProcessState::Running) return {};
    return it->second.windows;
}

std::optional<std::uint32_t> FakeHolderControl::windowProcess(WindowId window) {
    if (const auto f = folderWindows.find(window); f != folderWindows.end()) return f->second.first;
    for (const auto& [id, p] : processes) {
        for (const ProgramWindow& w : p.windows) {
            if (w.window == window) return id;
        }
    }
    return std::nullopt;
}

std::string FakeHolderControl::windowTitle(WindowId window) {
    if (const auto f = folderWindows.find(window); f != folderWindows.end())
        return f->second.second;
    for (const auto& [id, p] : processes) {
        for (const ProgramWindow& w : p.windows) {
            if (w.window == window) return w.title;
        }
    }
    return {};
}

bool FakeHolderControl::bringToFront(WindowId window) {
    if (!windowProcess(window)) return false;
    broughtToFront.push_back(window);
    return true;
}

bool FakeHolderControl::postClose(WindowId window) {
    if (!windowProcess(window)) return false;
    closePosted.push_back(window);
    if (onClose) onClose(window);
    return true;
}

EndOutcome FakeHolderControl::endProcess(std::uint32_t processId, std::uint64_t startTime) {
    EndOutcome outcome = EndOutcome::Refused;
    const auto it = processes.find(processId);
    if (it == processes.end() || it->second.facts.state == ProcessState::Gone ||
        (startTime != 0 && it->second.facts.startTime != startTime)) {
        outcome = EndOutcome::Gone;
    } else if (it->second.facts.state == ProcessState::Running && !it->second.refusesEnd) {
        exit(processId);
        outcome = EndOutcome::Ended;
    }
    ends.push_back(EndCall{processId, startTime, outcome});
    return outcome;
}

}  // namespace qm
