#pragma once
// Records every MCI command string.
#include <string>
#include <vector>

#include "platform/mci.h"

namespace qm {

class FakeMci : public Mci {
  public:
    unsigned long sendString(const std::string& command) override {
        commands.push_back(command);
        return answer;
    }
    std::vector<std::string> commands;
    unsigned long answer = 0;
};

}  // namespace qm
