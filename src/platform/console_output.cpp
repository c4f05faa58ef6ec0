#include "platform/console_output.h"

namespace qm {

OutputRoute RouteFor(StdHandleKind handle, bool parentConsole) {
    switch (handle) {
        case StdHandleKind::File:
        case StdHandleKind::Pipe:
        case StdHandleKind::OtherDevice:
            return OutputRoute::Bytes;
        case StdHandleKind::Console:
            return OutputRoute::Console;
        case StdHandleKind::None:
            break;
    }
    return parentConsole ? OutputRoute::Console : OutputRoute::Nowhere;
}

std::uint32_t BytesCodePage(std::uint32_t consoleOutputCodePage, std::uint32_t ansiCodePage) {
    return consoleOutputCodePage != 0 ? consoleOutputCodePage : ansiCodePage;
}

}  // namespace qm
