#pragma once
// The downloader's status, error and question words. They are English in
// every language the program speaks, as the downloader has always said them,
// so they are kept once, here, and no language's table repeats them.
#include <initializer_list>
#include <string>
#include <string_view>

namespace qm {

enum class DownloadText {
    Opening,  // {1} the file
    NoConnection,
    NoConnectionStatus,
    Cancelling,
    Unpausing,
    ViaModem,
    ViaLan,
    ViaProxy,
    ErrorFrom,  // {1} the address
    AbortedByError,
    NotConnectedQuestion,
    HeaderError,
    HeaderErrorStatus,
    Cancelled,
    CancelledStatus,
    Initiating,
    Accepted,
    UnauthorizedStatus,
    Unauthorized,
    ForbiddenStatus,
    Forbidden,
    NotFound,
    InformationComplete,
    OverwriteQuestion,  // {1} the file
    OverwriteTitle,
    NewFilePrompt,
    NewFileTitle,
    NoFile,
    ErrorTitle,
    SameFile,
    TryAgainTitle,
    ResumeFileMissing,
    ResumeFileMissingStatus,
    ResumeUnsupported,
    ResumeUnsupportedStatus,
    Successful,
    Receiving,
    Paused,
    Count
};

std::string Text(DownloadText id);
// The text with its marks {1}, {2}... filled in, in order.
std::string Text(DownloadText id, std::initializer_list<std::string_view> parts);

}  // namespace qm
