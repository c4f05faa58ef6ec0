#pragma once
#include <windows.h>

#include "platform/console_output.h"

namespace qm {

// The standard handles when they are valid, else the console of the
// process that started this one (AttachConsole); each decided on first use.
class ConsoleOutputWin32 final : public ConsoleOutput {
  public:
    ConsoleOutputWin32() = default;
    ~ConsoleOutputWin32() override;

    bool write(Stream stream, std::string_view utf8) override;

  private:
    struct Target {
        bool decided = false;
        OutputRoute route = OutputRoute::Nowhere;
        HANDLE handle = nullptr;
    };
    Target& target(Stream stream);
    // Attaches to the parent's console once; whether there is one now.
    bool parentConsole();

    Target out_, err_;
    bool attachTried_ = false;
    bool attached_ = false;
    HANDLE screen_ = INVALID_HANDLE_VALUE;  // CONOUT$ of the attached console
};

}  // namespace qm
