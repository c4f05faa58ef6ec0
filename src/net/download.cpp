#include "net/download.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "common/text_rules.h"
#include "platform/rounding.h"
#include "texts/download_texts.h"
#include "texts/tray_texts.h"

namespace qm {
namespace {

// A length or count: plain decimal digits that fit 32 bits.
std::optional<std::int32_t> ParseCount(const std::string& text) {
    const std::string digits = TrimBlanks(text);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return ParseInt32(digits);
}

// The shortest decimal form of a value with at most two decimals.
std::string ShortDecimal(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    std::string text = buffer;
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

constexpr const char* kBoolTexts[] = {"False", "True"};

}  // namespace

std::string FormatRate(double r) {
    if (r >= 0 && r <= 1023) return Text(TrayText::RateBytes, {std::to_string(RoundHalfEven(r))});
    if (r >= 1024 && r <= 1048575) {
        return Text(TrayText::RateKilobytes, {ShortDecimal(RoundHalfEven(r / 1024 * 100) / 100.0)});
    }
    return {};
}

std::string FormatTimeLeft(float seconds) {
    const double t = seconds;
    // Too large to count in whole hours (a stalled start): no estimate.
    if (!std::isfinite(t) || std::fabs(t) > 1e12) return {};
    const auto whole = [](double v) { return std::to_string(static_cast<long long>(v)); };
    if (t >= 0 && t <= 59) return Text(TrayText::TimeSeconds, {whole(std::round(t))});
    if (t >= 60 && t <= 3599) {
        return Text(TrayText::TimeMinutesSeconds,
                    {whole(std::floor(t / 60)),
                     std::to_string(static_cast<long long>(std::nearbyint(t)) % 60)});
    }
    return Text(TrayText::TimeHoursMinutes,
                {whole(std::floor(t / 3600)),
                 std::to_string(static_cast<long long>(std::nearbyint(t / 60)) % 60)});
}

std::optional<std::string> ApplyUrlExtension(const std::string& address, const std::string& path) {
    // Both dots are looked for from the sixth character before the end on.
    if (address.size() < 6 || path.size() < 6) return std::nullopt;
    const auto addressDot = address.find('.', address.size() - 6);
    const auto pathDot = path.find('.', path.size() - 6);
    if (addressDot == std::string::npos || pathDot == std::string::npos) return std::nullopt;
    return path.substr(0, pathDot + 1) + address.substr(addressDot + 1);
}

std::string PropertyBag::read(const std::string& name, const std::string& fallback) const {
    const auto found = values_.find(name);
    return found == values_.end() ? fallback : found->second;
}

void PropertyBag::write(const std::string& name, const std::string& value,
                        const std::string& fallback) {
    if (value == fallback) {
        values_.erase(name);
    } else {
        values_[name] = value;
    }
}

DownLoad::DownLoad(DownLoadDeps deps) : d_(std::move(deps)) {}

void DownLoad::raise(const std::function<void(const std::string&)>& event,
                     const std::string& text) {
    if (event) event(text);
}

void DownLoad::raise(const std::function<void(std::int32_t)>& event, std::int32_t value) {
    if (event) event(value);
}

void DownLoad::changed(const char* name) {
    if (PropertyChanged) PropertyChanged(name);
}

void DownLoad::setUrl(const std::string& value) {
    Url_ = value;
    changed("URL");
}
void DownLoad::setSaveLocation(const std::string& value) {
    SaveLocation_ = value;
    changed("SaveLocation");
}
void DownLoad::setCHUNK(std::int32_t value) {
    CHUNK_ = value;
    changed("CHUNK");
}
void DownLoad::setKeepType(bool value) {
    KeepType_ = value;
    changed("KeepType");
}
void DownLoad::setOnlineCheck(bool value) {
    OnlineCheck_ = value;
    changed("OnlineCheck");
}
void DownLoad::setPromptOverwrite(bool value) {
    PromptOverwrite_ = value;
    changed("PromptOverwrite");
}
void DownLoad::setROLLBACK(std::int32_t value) {
    ROLLBACK_ = value;
    changed("ROLLBACK");
}

void DownLoad::ReadProperties(const PropertyBag& bag) {
    const auto flag = [&](const char* name) {
        return bag.read(name, kBoolTexts[0]) == kBoolTexts[1];
    };
    Url_ = bag.read("URL", dldefaults::kDefaultUrl);
    SaveLocation_ = bag.read("SaveLocation", dldefaults::kDefaultSaveLocation);
    // A damaged number reads as the default rather than as garbage.
    CHUNK_ = ParseInt32(bag.read("CHUNK", "1024")).value_or(1024);
    KeepType_ = flag("KeepType");
    OnlineCheck_ = flag("OnlineCheck");
    PromptOverwrite_ = flag("PromptOverwrite");
}

void DownLoad::WriteProperties(PropertyBag& bag) const {
    bag.write("URL", Url_, dldefaults::kDefaultUrl);
    bag.write("CHUNK", std::to_string(CHUNK_), "1024");
    bag.write("SaveLocation", SaveLocation_, dldefaults::kDefaultSaveLocation);
    bag.write("KeepType", kBoolTexts[KeepType_], kBoolTexts[0]);
    bag.write("OnlineCheck", kBoolTexts[OnlineCheck_], kBoolTexts[0]);
    bag.write("PromptOverwrite", kBoolTexts[PromptOverwrite_], kBoolTexts[0]);
}

void DownLoad::Cancel() {
    cancel_ = true;
    raise(StatusChange, Text(DownloadText::Cancelling));
}

void DownLoad::Pause(bool blnPause) {
    pause_ = blnPause;
    if (!blnPause) raise(StatusChange, Text(DownloadText::Unpausing));
}

bool DownLoad::CheckConnection() {
    const qm::ConnectionState state = d_.I1.connectionState();
    if ((state.flags & kConnectionModem) != 0) raise(ConnectionState, Text(DownloadText::ViaModem));
    if ((state.flags & kConnectionLan) != 0) raise(ConnectionState, Text(DownloadText::ViaLan));
    if ((state.flags & kConnectionProxy) != 0) raise(ConnectionState, Text(DownloadText::ViaProxy));
    return state.connected;
}

void DownLoad::waitWhileExecuting() {
    // Blocks on the message queue between polls instead of spinning. Once
    // the program is ending no message will come: stop waiting then.
    while (d_.I1.stillExecuting() && !d_.loop.quitRequested()) {
        d_.loop.pump();
        if (!d_.I1.stillExecuting()) break;
        d_.loop.waitForMessage(kPollMs);
    }
}

bool DownLoad::waitForChunk(std::size_t chunk) {
    // Like the wait for the response, but a Cancel or the program's end
    // stops it at once: a server may stall in the middle of a body for good.
    while (d_.I1.stillReading(chunk)) {
        if (cancel_ || d_.loop.quitRequested()) return false;
        d_.loop.pump();
        if (cancel_ || d_.loop.quitRequested()) return false;
        if (!d_.I1.stillReading(chunk)) break;
        d_.loop.waitForMessage(kPollMs);
    }
    return true;
}

std::uint32_t DownLoad::elapsedTicks() { return d_.loop.tickCount() - startTick_; }

void DownLoad::reportNoConnection() {
    raise(DLECode, dlcode::kNoConnection);
    raise(DLError, Text(DownloadText::NoConnection));
    raise(StatusChange, Text(DownloadText::NoConnectionStatus));
}

void DownLoad::reportTransferError() {
    raise(DLError, Text(DownloadText::ErrorFrom, {Url_}));
    raise(StatusChange, Text(DownloadText::AbortedByError));
    raise(DLECode, dlcode::kFailed);
    d_.I1.cancel();
}

void DownLoad::GetFileInformation() {
    cancel_ = false;
    if (OnlineCheck_) {
        if (!CheckConnection()) {
            d_.prompts.messageBox(Text(DownloadText::NotConnectedQuestion), d_.programTitle,
                                  msgbox::kOk);
            Connected_ = false;
            reportNoConnection();
            return;
        }
        Connected_ = true;
    }
    d_.I1.setUrl(Url_);
    const bool started = d_.I1.execute("");
    raise(StatusChange, Text(DownloadText::Initiating));
    if (!started) {
        reportHeaderError();
        return;
    }
    waitWhileExecuting();
    raise(StatusChange, Text(DownloadText::Accepted));
    if (cancel_) {
        reportHeaderCancelled();
        return;
    }
    const std::optional<std::string> header = d_.I1.getHeader();
    if (!header || header->size() < 12) {
        d_.I1.cancel();
        reportHeaderError();
        return;
    }
    const std::string code = header->substr(9, 3);
    if (endOnRefusal(code)) return;
    if (cancel_) {
        reportHeaderCancelled();
        return;
    }
    takeFileInformation(*header, code);
}

void DownLoad::reportHeaderError() {
    raise(DLError, Text(DownloadText::HeaderError));
    raise(StatusChange, Text(DownloadText::HeaderErrorStatus));
    raise(DLECode, dlcode::kHeaderError);
}

void DownLoad::reportHeaderCancelled() {
    cancel_ = false;
    // A body phase must never read the response of a cancelled request.
    d_.I1.cancel();
    raise(DLECode, dlcode::kCancelled);
    raise(StatusChange, Text(DownloadText::Cancelled));
}

void DownLoad::takeFileInformation(const std::string& header, const std::string& code) {
    // Any other client or server error carries an error page, not the file:
    // it must not be taken for the file's contents.
    const auto status = ParseCount(code);
    if (!status || *status >= 400) {
        d_.I1.cancel();
        reportHeaderError();
        return;
    }
    if (header.substr(5, 3) == "1.1") resumeSupported_ = true;
    FileExists_ = true;
    startTick_ = d_.loop.tickCount();
    // A length beyond 32 bits is as unreadable as a missing one.
    const auto length = d_.I1.getHeader("Content-Length");
    const auto size = length ? ParseCount(*length) : std::nullopt;
    if (!size) {
        // Its body could not be measured against a size.
        d_.I1.cancel();
        reportHeaderError();
        return;
    }
    FileSize_ = *size;
    raise(StatusChange, Text(DownloadText::InformationComplete));
}

bool DownLoad::endOnRefusal(const std::string& code) {
    struct Refusal {
        const char* code;
        DownloadText status, error;
        std::int32_t ecode;
        bool fileExists;  // refused, not missing: the file is there
    };
    static constexpr Refusal kRefusals[] = {
        {"401", DownloadText::UnauthorizedStatus, DownloadText::Unauthorized, dlcode::kUnauthorized,
         true},
        {"403", DownloadText::ForbiddenStatus, DownloadText::Forbidden, dlcode::kForbidden, true},
        {"404", DownloadText::NotFound, DownloadText::NotFound, dlcode::kNotFound, false}};
    for (const Refusal& r : kRefusals) {
        if (code != r.code) continue;
        if (r.fileExists) {
            raise(StatusChange, Text(r.status));
            raise(DLECode, r.ecode);
            raise(DLError, Text(r.error));
            resumeSupported_ = false;
        } else {
            // A missing file says so as an error first.
            raise(DLError, Text(r.error));
            raise(StatusChange, Text(r.status));
            raise(DLECode, r.ecode);
        }
        d_.I1.cancel();
        FileExists_ = r.fileExists;
        FileSize_ = 0;
        return true;
    }
    return false;
}

bool DownLoad::readyToReceive() {
    // A Cancel after the last request is kept for the next header phase.
    if (cancel_) return false;
    if (OnlineCheck_ && !Connected_) {
        reportNoConnection();
        d_.I1.cancel();
        return false;
    }
    d_.I1.setUrl(Url_);
    return true;
}

void DownLoad::Download() {
    if (!readyToReceive()) return;
    // A chunk of nothing would end the transfer at once and call it complete.
    if (CHUNK_ < 1) {
        reportTransferError();
        return;
    }
    std::string target = SaveLocation_;
    if (KeepType_) {
        const auto typed = ApplyUrlExtension(Url_, SaveLocation_);
        if (!typed) {
            reportTransferError();
            return;
        }
        target = *typed;
    }
    if (d_.files.fileExists(target)) {
        if (PromptOverwrite_) {
            const auto chosen = promptOverwrite(target);
            if (!chosen) {
                reportTransferError();
                return;
            }
            target = *chosen;
        } else if (!d_.files.deleteFile(target)) {
            reportTransferError();
            return;
        }
    }
    receiveInto(target, false, 0, FileSize_, static_cast<std::size_t>(CHUNK_));
}

std::optional<std::string> DownLoad::promptOverwrite(const std::string& target) {
    const int answer = d_.prompts.messageBox(Text(DownloadText::OverwriteQuestion, {target}),
                                             Text(DownloadText::OverwriteTitle),
                                             msgbox::kYesNo | msgbox::kIconInformation);
    if (answer == msgbox::kIdYes) {
        if (!d_.files.deleteFile(target)) return std::nullopt;
        return target;
    }
    // A box that cannot be shown at all (answer 0) ends the prompt instead
    // of asking for ever.
    if (answer == 0) return std::nullopt;
    for (;;) {
        const std::string path = d_.prompts
                                     .inputBox(Text(DownloadText::NewFilePrompt),
                                               Text(DownloadText::NewFileTitle), target)
                                     .value_or("");
        if (path.empty() || path == " ") {
            if (d_.prompts.messageBox(Text(DownloadText::NoFile), Text(DownloadText::ErrorTitle),
                                      msgbox::kOk | msgbox::kIconWarning) == 0) {
                return std::nullopt;
            }
            continue;
        }
        if (path == target) {
            const int again = d_.prompts.messageBox(Text(DownloadText::SameFile),
                                                    Text(DownloadText::TryAgainTitle),
                                                    msgbox::kYesNo | msgbox::kIconError);
            if (again == msgbox::kIdYes) continue;
            if (again == 0) return std::nullopt;
            return target;
        }
        return path;
    }
}

void DownLoad::DLResume() {
    if (!readyToReceive()) return;
    if (!d_.files.fileExists(SaveLocation_)) {
        raise(DLError, Text(DownloadText::ResumeFileMissing));
        raise(DLECode, dlcode::kResumeFileMissing);
        raise(StatusChange, Text(DownloadText::ResumeFileMissingStatus));
        return;
    }
    if (!resumeSupported_) {
        raise(DLError, Text(DownloadText::ResumeUnsupported));
        raise(DLECode, dlcode::kResumeNotSupported);
        raise(StatusChange, Text(DownloadText::ResumeUnsupportedStatus));
        return;
    }
    const auto size = d_.files.fileSize(SaveLocation_);
    if (CHUNK_ < 1 || !size || *size > static_cast<std::uint64_t>(INT32_MAX)) {
        reportTransferError();
        return;
    }
    std::int64_t offset = static_cast<std::int64_t>(*size);
    if (!d_.I1.execute("Range: bytes=" + std::to_string(offset) + "-\r\n")) {
        reportTransferError();
        return;
    }
    waitWhileExecuting();
    // A server that ignores the range sends the whole file: it then
    // replaces the partial one instead of being appended to it.
    const auto header = d_.I1.getHeader();
    const std::string code = header && header->size() >= 12 ? header->substr(9, 3) : "";
    bool append = true;
    if (code == "200") {
        append = false;
        offset = 0;
    } else if (code != "206") {
        reportTransferError();
        return;
    }
    // The body is whole when it reaches the size of the earlier header phase
    // and the length this answer announces: a rest cut short must not count
    // as the whole file because the file had already passed the old size.
    std::int64_t end = FileSize_;
    if (const auto length = d_.I1.getHeader("Content-Length")) {
        if (const auto announced = ParseCount(*length)) end = std::max(end, offset + *announced);
    }
    receiveInto(SaveLocation_, append, offset, end, static_cast<std::size_t>(CHUNK_));
}

void DownLoad::receiveInto(const std::string& target, bool append, std::int64_t offset,
                           std::int64_t end, std::size_t chunk) {
    const FileSystem::FileHandle file = d_.files.openForWriting(target, append);
    if (file == 0) {
        reportTransferError();
        return;
    }
    raise(StatusChange, Text(DownloadText::Opening, {target}));
    InDL_ = true;
    switch (transferLoop(file, offset, end, chunk)) {
        case LoopEnd::Completed:
            d_.files.closeFile(file);
            InDL_ = false;
            if (DLComplete) DLComplete();
            raise(StatusChange, Text(DownloadText::Successful));
            d_.I1.cancel();
            break;
        case LoopEnd::Cancelled:
            InDL_ = false;
            break;
        case LoopEnd::Failed:
            d_.files.closeFile(file);
            InDL_ = false;
            reportTransferError();
            break;
    }
}

DownLoad::LoopEnd DownLoad::transferLoop(FileSystem::FileHandle file, std::int64_t offset,
                                         std::int64_t end, std::size_t chunk) {
    received_ = 0;
    for (;;) {
        if (cancel_) {
            cancel_ = false;
            d_.files.closeFile(file);
            // The rest of the body goes with the request: a later body
            // phase would otherwise go on with it into a new file.
            d_.I1.cancel();
            raise(DLECode, dlcode::kCancelled);
            raise(StatusChange, Text(DownloadText::CancelledStatus));
            return LoopEnd::Cancelled;
        }
        if (!waitForChunk(chunk)) {
            if (cancel_) continue;
            return LoopEnd::Failed;  // the program ends
        }
        const std::optional<std::string> data = d_.I1.getChunk(chunk);
        if (!data || !d_.files.writeFile(file, *data)) return LoopEnd::Failed;
        const std::int64_t received =
            static_cast<std::int64_t>(received_) + static_cast<std::int64_t>(data->size());
        if (received + offset > INT32_MAX) return LoopEnd::Failed;
        received_ = static_cast<std::int32_t>(received);
        // The clock started one second before the header phase ended, so
        // the elapsed time is never below a second.
        const double elapsed = elapsedTicks() / 1000.0 + 1.0;
        rate_ = static_cast<float>(received_ / elapsed);
        if (rate_ <= 0) return LoopEnd::Failed;  // nothing at all arrived
        secondsLeft_ = static_cast<float>((FileSize_ - offset - received_) / rate_);
        // The texts are made only for a host that listens.
        if (Rate) Rate(FormatRate(rate_));
        if (TimeLeft) TimeLeft(FormatTimeLeft(secondsLeft_));
        const std::int64_t total = offset + received_;
        raise(RecievedBytes, static_cast<std::int32_t>(total));
        if (FileSize_ == 0) return LoopEnd::Failed;
        const double percent = static_cast<double>(total) / FileSize_ * 100;
        if (!FitsInt32(percent)) return LoopEnd::Failed;
        raise(Percent, RoundHalfEven(percent));
        raise(StatusChange, Text(DownloadText::Receiving));
        // A quit request ends the pause: nobody is left to lift it.
        while (pause_ && !d_.loop.quitRequested()) {
            d_.loop.pump();
            raise(StatusChange, Text(DownloadText::Paused));
            if (pause_) d_.loop.waitForMessage(kPauseWaitMs);
        }
        if (data->empty()) {
            // A connection closed early ends the body before its length.
            return total < end ? LoopEnd::Failed : LoopEnd::Completed;
        }
    }
}

}  // namespace qm
