#pragma once
#include "platform/code_page_win32.h"
#include "platform/mci.h"

namespace qm {

class MciWin32 final : public Mci {
  public:
    unsigned long sendString(const std::string& command) override;

  private:
    CodePageWin32 codePage_;
};

}  // namespace qm
