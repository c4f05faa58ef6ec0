#pragma once
#include "platform/code_page_win32.h"
#include "platform/service_manager.h"

namespace qm {

// The service control manager, opened for each call with the rights it needs.
class ServiceManagerWin32 final : public ServiceManager {
  public:
    std::optional<int> currentState(const std::string& machine,
                                    const std::string& service) override;
    bool start(const std::string& machine, const std::string& service) override;
    bool stop(const std::string& machine, const std::string& service) override;
    std::optional<int> startType(const std::string& machine, const std::string& service) override;
    bool setStartType(const std::string& machine, const std::string& service,
                      int startType) override;

  private:
    CodePageWin32 codePage_;
};

}  // namespace qm
