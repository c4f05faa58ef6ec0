#pragma once
// Where a program started from a command line prints: the console it was
// started from, or a handle its caller redirected (a file or a pipe). Both
// programs are window programs, which the system starts with neither.
#include <cstdint>
#include <string_view>

#include "platform/non_copyable.h"

namespace qm {

class ConsoleOutput : NonCopyable {
  public:
    enum class Stream { Out, Err };
    virtual ~ConsoleOutput() = default;
    // Writes UTF-8 text as it is; false when there is nowhere to write.
    virtual bool write(Stream stream, std::string_view utf8) = 0;
};

// The text and a line end.
inline bool PrintLine(ConsoleOutput& out, std::string_view utf8,
                      ConsoleOutput::Stream stream = ConsoleOutput::Stream::Out) {
    return out.write(stream, utf8) && out.write(stream, "\r\n");
}

// What a standard handle turned out to be.
enum class StdHandleKind {
    None,         // no handle, or one that is no longer valid
    File,         // a file on disk
    Pipe,         // a pipe or socket
    Console,      // a console's screen buffer
    OtherDevice,  // a character device that is no console (NUL)
};

// How a stream is written.
enum class OutputRoute {
    Bytes,    // the text in a code page, written as bytes (files, pipes, NUL)
    Console,  // the text as UTF-16 to a console, whatever its code page
    Nowhere,  // no handle and no console to attach to: the text is dropped
};

// A valid handle is used as it is; without one the program prints to the
// console of the process that started it, when there is one.
OutputRoute RouteFor(StdHandleKind handle, bool parentConsole);

// The code page of text written as bytes: the console's, for whoever reads
// the file or pipe there (UTF-8 when the console is set to it), else the
// system's ANSI code page, as for every other text file of the program.
std::uint32_t BytesCodePage(std::uint32_t consoleOutputCodePage, std::uint32_t ansiCodePage);

}  // namespace qm
