#pragma once
// A Windows service's state and start type, as the service control manager
// holds them.
#include <string>

#include "platform/service_manager.h"

namespace qm {

inline constexpr int kServiceStartAutomatic = 2;
inline constexpr int kServiceStartDisabled = 4;

// The words a service's state is told by. The program compares them, never
// shows them, so they are the same in every language.
namespace servicewords {
inline constexpr char kStopped[] = "已停止";
inline constexpr char kStartPending[] = "开始";
inline constexpr char kStopPending[] = "停止";
inline constexpr char kRunning[] = "已启动";
inline constexpr char kContinuePending[] = "继续";
inline constexpr char kPaused[] = "暂停";
}  // namespace servicewords

class Services {
public:
    explicit Services(ServiceManager& manager) : manager_(manager) {}

    // The state as a word; empty when the service cannot be queried.
    std::string GetServiceStateText(const std::string& machine, const std::string& service);
    // The start type the manager acts on; 0 when unknown.
    int GetServiceStartType(const std::string& service);
    // Through the manager, never the registry alone: a "Start" value written
    // behind its back waits for the next boot, while the manager keeps
    // starting the service as before.
    bool SetServiceStartType(const std::string& service, int startType);
    void StartServiceByName(const std::string& machine, const std::string& service);
    void StopServiceByName(const std::string& machine, const std::string& service);

    static std::string StateWord(int currentState);

private:
    ServiceManager& manager_;
};

}  // namespace qm
