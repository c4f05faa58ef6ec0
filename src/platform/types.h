#pragma once
#include <cstdint>

namespace qm {

// Window handles travel through the core as plain numbers; the program is
// 32-bit, so every handle it stores or prints fits in 32 bits.
using WindowId = std::uintptr_t;
using IconId = std::uintptr_t;

}  // namespace qm
