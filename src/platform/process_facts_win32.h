#pragma once
// What the system tells about a process through a handle opened on it, as
// the finders of a drive's holders and the holders' window ask it.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qm {

// The full path of the process's program (UTF-8); empty when it cannot be read.
std::string ProcessImagePath(HANDLE process);

// The security identifier of the process's user; empty when its token
// cannot be read.
std::vector<BYTE> ProcessUserSid(HANDLE process);

// When the process started (FILETIME ticks); 0 when unknown. With the
// process id, it tells one process from a later one given the same id.
std::uint64_t ProcessStartTime(HANDLE process);

}  // namespace qm
