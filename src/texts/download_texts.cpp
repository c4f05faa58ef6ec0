#include "texts/download_texts.h"

#include <array>
#include <cstddef>

#include "texts/text_table.h"

namespace qm {
namespace {

using D = DownloadText;

constexpr std::array<TextEntry<DownloadText>, static_cast<std::size_t>(DownloadText::Count)> kWords{
    {
        {D::Opening, "Opening {1} For DATA Input."},
        {D::NoConnection, "No Connection Found!"},
        {D::NoConnectionStatus, "Download aborted, no connection present!"},
        {D::Cancelling, "Cancelling.."},
        {D::Unpausing, "Unpausing"},
        {D::ViaModem, "Connected Via Modem."},
        {D::ViaLan, "Connected Via LAN."},
        {D::ViaProxy, "Connected Through A Proxy."},
        {D::ErrorFrom, "Error Downloading File from : {1}"},
        {D::AbortedByError, "Download Aborted Due To Error In Download!"},
        {D::NotConnectedQuestion,
         "You are not currently connected to the internet!\r\nThe download will be aborted!"},
        {D::HeaderError, "Error Reading File Headers."},
        {D::HeaderErrorStatus, "Error Reading File Headers!"},
        {D::Cancelled, "cancelled."},
        {D::CancelledStatus, "Cancelled."},
        {D::Initiating, "Initiating Connection."},
        {D::Accepted, "Connection Accepted, Retrieving File Information."},
        {D::UnauthorizedStatus, "Unauthorized Access, Download Terminated!"},
        {D::Unauthorized, "Unauthorized Access!"},
        {D::ForbiddenStatus, "Access Denied, Download Terminated!"},
        {D::Forbidden, "Access Denied!"},
        {D::NotFound, "File Not Found!"},
        {D::InformationComplete, "Retrieving File Information Complete!"},
        {D::OverwriteQuestion, "Would you like to overwrite the file at: {1} ?"},
        {D::OverwriteTitle, "Overwrite?"},
        {D::NewFilePrompt, "Please type in a new file path and name.\r\nExample: C:\\File2.txt"},
        {D::NewFileTitle, "New File..."},
        {D::NoFile, "You didn't specify a file!"},
        {D::ErrorTitle, "Error!"},
        {D::SameFile, "You typed in the same file! Would you like type in a different file?"},
        {D::TryAgainTitle, "Try Again?"},
        {D::ResumeFileMissing, "Resume File Not Found!"},
        {D::ResumeFileMissingStatus, "Resume File Not Found, Aborting Download!"},
        {D::ResumeUnsupported, "Resume Not Supported!"},
        {D::ResumeUnsupportedStatus, "Resume NotSupported, Aborting Download!"},
        {D::Successful, "Download Successful!"},
        {D::Receiving, "Recieving File, Inputting DATA to File."},
        {D::Paused, "Paused."},
    }};
static_assert(IsCompleteTable(kWords), "every downloader text once, in the order of its name");

}  // namespace

std::string Text(DownloadText id) { return std::string(kWords[static_cast<std::size_t>(id)].text); }

std::string Text(DownloadText id, std::initializer_list<std::string_view> parts) {
    return FillIn(kWords[static_cast<std::size_t>(id)].text, parts);
}

}  // namespace qm
