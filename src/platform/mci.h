#pragma once
// The Media Control Interface's command strings.
#include <string>

#include "platform/non_copyable.h"

namespace qm {

class Mci : NonCopyable {
public:
    virtual ~Mci() = default;
    // Sends one command string without a callback window or return text;
    // answers the MCI error code, 0 on success.
    virtual unsigned long sendString(const std::string& command) = 0;
};

}  // namespace qm
