#pragma once
// Which running programs belong to an install folder: the installer and the
// uninstaller stop this session's copies that run from their folder and
// leave every other program of the same name alone.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/messenger.h"
#include "platform/processes.h"

namespace qm {

// Whether the process runs `folder`\`name` (the folder with or without its
// trailing "\"); false when its path cannot be read.
bool RunsFrom(Processes& processes, std::uint32_t processId, const std::string& folder,
              const std::string& name);
// This session's processes named `name` that run from the folder.
std::vector<std::uint32_t> SessionCopiesIn(Processes& processes, const std::string& folder,
                                           const std::string& name);
// Another session's tray program or updater that may be using the folder:
// it runs from there, or its path cannot be read. Theirs to end.
bool OtherSessionRunsIn(Processes& processes, const std::string& folder);
// Sends the quit request to the process's main windows, waiting at most
// `timeoutMs` for each.
void AskTrayToQuit(Messenger& messenger, std::uint32_t processId, std::uint32_t timeoutMs);

}  // namespace qm
