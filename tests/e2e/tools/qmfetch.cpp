// qmfetch: fetches one address over the real WinINet transfer, for the
// transfer tests and the download benchmark.
//
//   qmfetch <url> <save-path> [--chunk N] [--timeout-ms N] [--resume] [--range-only]
//           [--quiet] [--raw] [--time]
//   qmfetch --version
//
// By default the downloader runs: its header phase, then the body (or a
// resume of the partial file with --resume; --range-only skips the header
// phase and resumes at once). Every event is one line on stdout, UTF-8
// ("DLECode 2", "RecievedBytes 300"); --quiet leaves out the progress events
// (RecievedBytes, Percent, Rate, TimeLeft) and repeats of a status. Message
// boxes are answered OK or No, input boxes are dismissed; both are printed.
// Exit code 0 after DLComplete, 1 otherwise, 2 for a bad command line.
//
// --raw skips the downloader: one GET, its header printed ("Header <line>"),
// the body written to the file in chunks, "Body <bytes>" at its end.
//
// --time adds a last line "Elapsed <microseconds>": from the first request
// to DLComplete (or to the end of the body with --raw), the transfer alone
// without the start of the process.

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "net/download.h"
#include "platform/code_page_win32.h"
#include "platform/event_loop_win32.h"
#include "platform/file_system_win32.h"
#include "platform/http_transfer_win32.h"

namespace {

constexpr char kVersion[] = "qmfetch 1";

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// Raw bytes to a standard handle: no C runtime text translation.
void writeTo(DWORD which, const std::string& bytes) {
    HANDLE out = GetStdHandle(which);
    DWORD written = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE && !bytes.empty())
        WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void line(const std::string& text) { writeTo(STD_OUTPUT_HANDLE, text + "\n"); }

// One line per header line, the empty ones at its end left out.
void printHeader(const std::string& header) {
    std::size_t start = 0;
    while (start < header.size()) {
        std::size_t end = header.find("\r\n", start);
        if (end == std::string::npos) end = header.size();
        if (end > start) line("Header " + header.substr(start, end - start));
        start = end + 2;
    }
}

struct Options {
    std::string url;
    std::string savePath;
    std::int32_t chunk = 1024;
    std::uint32_t timeoutMs = qm::HttpTransferWin32::kDefaultTimeoutMs;
    bool resume = false;
    bool rangeOnly = false;
    bool quiet = false;
    bool raw = false;
    bool time = false;
};

// The transfer's own time, on the performance counter.
class Stopwatch {
  public:
    void start() { QueryPerformanceCounter(&started_); }
    void stop() { QueryPerformanceCounter(&stopped_); }
    long long microseconds() const {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return (stopped_.QuadPart - started_.QuadPart) * 1000000 / frequency.QuadPart;
    }

  private:
    LARGE_INTEGER started_{};
    LARGE_INTEGER stopped_{};
};

std::optional<Options> parse(const std::vector<std::string>& args) {
    Options options;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto number = [&](long long low, long long high) -> std::optional<long long> {
            if (i + 1 >= args.size()) return std::nullopt;
            char* end = nullptr;
            const long long value = std::strtoll(args[++i].c_str(), &end, 10);
            if (end == nullptr || *end != '\0' || value < low || value > high) return std::nullopt;
            return value;
        };
        if (arg == "--chunk") {
            const auto value = number(1, 1 << 24);
            if (!value) return std::nullopt;
            options.chunk = static_cast<std::int32_t>(*value);
        } else if (arg == "--timeout-ms") {
            const auto value = number(1, 0x7fffffff);
            if (!value) return std::nullopt;
            options.timeoutMs = static_cast<std::uint32_t>(*value);
        } else if (arg == "--resume") {
            options.resume = true;
        } else if (arg == "--range-only") {
            options.resume = options.rangeOnly = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--raw") {
            options.raw = true;
        } else if (arg == "--time") {
            options.time = true;
        } else if (arg.rfind("--", 0) == 0) {
            return std::nullopt;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) return std::nullopt;
    options.url = positional[0];
    options.savePath = positional[1];
    return options;
}

// Waits the way the program does: its messages keep running.
void waitWhileExecuting(qm::HttpTransfer& transfer, qm::EventLoop& loop) {
    while (transfer.stillExecuting()) {
        loop.pump();
        loop.waitForMessage(10);
    }
}

int runRaw(const Options& options, qm::HttpTransfer& transfer, qm::FileSystem& files,
           qm::EventLoop& loop, Stopwatch& stopwatch) {
    transfer.setUrl(options.url);
    stopwatch.start();
    if (!transfer.execute({})) {
        line("ExecuteFailed");
        return 1;
    }
    waitWhileExecuting(transfer, loop);
    const auto header = transfer.getHeader();
    if (!header) {
        line("NoHeader");
        return 1;
    }
    printHeader(*header);
    if (const auto length = transfer.getHeader("Content-Length")) line("ContentLength " + *length);
    const qm::FileSystem::FileHandle file = files.openForWriting(options.savePath, false);
    if (file == 0) {
        line("CannotOpen " + options.savePath);
        return 1;
    }
    std::uint64_t total = 0;
    int code = 1;
    for (;;) {
        const auto chunk = transfer.getChunk(static_cast<std::size_t>(options.chunk));
        if (!chunk) {
            line("ChunkError");
            break;
        }
        if (chunk->empty()) {
            code = 0;
            break;
        }
        if (!files.writeFile(file, *chunk)) {
            line("WriteError");
            break;
        }
        total += chunk->size();
    }
    stopwatch.stop();
    files.closeFile(file);
    line("Body " + std::to_string(total));
    transfer.cancel();
    return code;
}

class PrintedPrompts final : public qm::DownLoadPrompts {
  public:
    int messageBox(const std::string& text, const std::string& title,
                   std::uint32_t style) override {
        const bool yesNo = (style & 0xF) == qm::msgbox::kYesNo;
        const int answer = yesNo ? qm::msgbox::kIdNo : IDOK;
        line("MessageBox " + title + " | " + text + " -> " + std::to_string(answer));
        return answer;
    }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& initial) override {
        line("InputBox " + title + " | " + prompt + " | " + initial + " -> dismissed");
        return std::nullopt;
    }
};

int runDownload(const Options& options, qm::HttpTransfer& transfer, qm::FileSystem& files,
                qm::EventLoop& loop, Stopwatch& stopwatch) {
    PrintedPrompts prompts;
    qm::DownLoad download({transfer, files, loop, prompts, "qmfetch"});
    bool complete = false;
    const auto text = [](const char* name) {
        return [name](const std::string& value) { line(std::string(name) + " " + value); };
    };
    const auto number = [](const char* name) {
        return
            [name](std::int32_t value) { line(std::string(name) + " " + std::to_string(value)); };
    };
    download.DLComplete = [&complete, &stopwatch] {
        stopwatch.stop();
        complete = true;
        line("DLComplete");
    };
    download.DLError = text("DLError");
    download.DLECode = number("DLECode");
    std::string lastStatus;
    download.StatusChange = [&](const std::string& value) {
        // The body phase repeats one status for every chunk.
        if (options.quiet && value == lastStatus) return;
        lastStatus = value;
        line("StatusChange " + value);
    };
    download.ConnectionState = text("ConnectionState");
    if (!options.quiet) {
        download.RecievedBytes = number("RecievedBytes");
        download.Percent = number("Percent");
        download.Rate = text("Rate");
        download.TimeLeft = text("TimeLeft");
    }

    download.setUrl(options.url);
    download.setSaveLocation(options.savePath);
    download.setCHUNK(options.chunk);
    stopwatch.start();
    if (!options.rangeOnly) {
        download.GetFileInformation();
        line("FileSize " + std::to_string(download.FileSize()));
        line(std::string("ResumeSupported ") + (download.ResumeSupported() ? "1" : "0"));
    }
    if (options.rangeOnly || download.FileSize() > 0) {
        if (options.resume) {
            download.DLResume();
        } else {
            download.Download();
        }
    }
    return complete ? 0 : 1;
}

// Threads of this process other than the calling one.
int otherThreads() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId() &&
            entry.th32ThreadID != GetCurrentThreadId()) {
            ++count;
        }
    }
    CloseHandle(snapshot);
    return count;
}

// Wine 8 can kill a process with a Unix SIGSEGV (exit code -11, nothing on
// stderr) when it ends while one of its threads has not yet started: the
// new thread is in its first call to the Wine server when the exit tears
// the process down. WinINet starts such a thread, the keeper of idle
// connections, inside the close of a request whose connection it keeps,
// which is the transfer's last close, just before this process ends. On a
// busy machine the thread may not yet have run (seen about once in a
// thousand runs with the other core busy, once in forty with it overloaded).
// The transfer's own workers have ended by now: any other thread is the
// system's, so give it the moment it needs to start.
void letStartingThreadsStart() {
    constexpr DWORD kThreadStartMs = 100;
    if (otherThreads() > 0) Sleep(kThreadStartMs);
}

}  // namespace

int main() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; argv != nullptr && i < count; ++i) args.push_back(toUtf8(argv[i]));
    if (argv != nullptr) LocalFree(argv);

    if (args.size() == 1 && args[0] == "--version") {
        line(kVersion);
        return 0;
    }
    const auto options = parse(args);
    if (!options) {
        writeTo(STD_ERROR_HANDLE,
                "usage: qmfetch <url> <save-path> [--chunk N] [--timeout-ms N] [--resume] "
                "[--range-only] [--quiet] [--raw] [--time]\n");
        return 2;
    }
    int code = 1;
    {
        qm::CodePageWin32 codePage;
        qm::FileSystemWin32 files(codePage);
        qm::EventLoopWin32 loop;
        qm::HttpTransferWin32 transfer(options->timeoutMs);
        Stopwatch stopwatch;
        code = options->raw ? runRaw(*options, transfer, files, loop, stopwatch)
                            : runDownload(*options, transfer, files, loop, stopwatch);
        if (options->time && code == 0) line("Elapsed " + std::to_string(stopwatch.microseconds()));
    }
    letStartingThreadsStart();
    return code;
}
