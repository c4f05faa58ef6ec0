#include "net/update_check.h"

#include "common/text_rules.h"
#include "texts/tray_texts.h"
#include "settings/stored_settings.h"

namespace qm {
namespace {

constexpr int kShowMinNoActive = 6;

std::string WithoutDots(std::string text) {
    std::erase(text, '.');
    return text;
}

}  // namespace

UpdateCheck::UpdateCheck(UpdateCheckDeps deps, std::string versionText, std::string noticeTitle,
                         TrayRequests& program)
    : d_(deps),
      versionText_(std::move(versionText)),
      noticeTitle_(std::move(noticeTitle)),
      program_(program) {
    d_.DL1.DLComplete = [this] {
        completed_ = true;
        OnUpdateDescriptorComplete();
    };
    d_.DL1.DLECode = [this](std::int32_t code) {
        if (running_) failed_ = failed_ || code != 0;
    };
}

std::string UpdateCheck::UpdateAddress() {
    std::string base = ReadUpdateServer(d_.profile, d_.paths);
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base + kUpdatePath;
}

void UpdateCheck::notice(const std::string& text, NoticePicture picture) {
    d_.notices.ShowNotice(noticeTitle_, text, picture, kNoticeInformation, kNoticeKeyTip);
}

void UpdateCheck::StartCheckUpdate() {
    // The downloader lets messages run, so the menu can ask again meanwhile.
    if (running_) return;
    running_ = true;
    d_.loop.pump();
    const std::string local = LocalCopy();
    // An old descriptor must never be read for a check that failed.
    if (d_.files.fileExists(local)) d_.files.deleteFileForced(local);
    failed_ = false;
    completed_ = false;
    d_.DL1.setUrl(UpdateAddress());
    d_.DL1.GetFileInformation();
    if (program_.ending()) {
        running_ = false;
        return;
    }
    // The downloader keeps the size of its last answer when a request
    // fails: an error it reported counts as no answer, or a check after a
    // good one would end without a word.
    if (d_.DL1.FileSize() == 0 || failed_) {
        reportNoServer();
        running_ = false;
        return;
    }
    d_.DL1.setSaveLocation(local);
    d_.DL1.Download();
    // A descriptor that did not arrive whole is a failed check too, said
    // as one; otherwise the quiet flag would also silence the next check.
    if (!completed_ && !program_.ending()) reportNoServer();
    running_ = false;
}

void UpdateCheck::reportNoServer() {
    if (quietUpdate_) {
        quietUpdate_ = false;
    } else {
        notice(Text(TrayText::NoticeNoUpdateServer), NoticePicture::Warning);
    }
    d_.DL1.Cancel();
    d_.log.WriteLog(Text(TrayText::LogNoUpdateServer));
    d_.helpers.TrimMemory();
}

void UpdateCheck::OnUpdateDescriptorComplete() {
    if (program_.ending()) return;
    if (isNeedUpdate()) {
        notice(Text(TrayText::NoticeNewVersion, {NewVersionText_}), NoticePicture::OK);
        d_.log.WriteLog(Text(TrayText::LogNewVersion, {NewVersionText_}));
        d_.helpers.WaitMilliseconds(1000);
        // The wait lets messages run: a quit that came meanwhile must not
        // leave an updater behind working on a program that has gone.
        if (!program_.ending()) {
            // Quoted: the program folder usually holds a blank.
            const std::string commandLine =
                "\"" + d_.paths.file(kUpdaterFileName) + "\" " + kUpdaterArgument;
            const Processes::Handle updater = d_.processes.start(commandLine, kShowMinNoActive,
                                                                 d_.paths.installDir());
            if (updater != 0) d_.processes.close(updater);
        }
    } else {
        if (quietUpdate_) {
            quietUpdate_ = false;
        } else {
            notice(Text(TrayText::NoticeUpToDate), NoticePicture::OK);
        }
        d_.log.WriteLog(Text(TrayText::LogUpToDate));
    }
    d_.DL1.Cancel();
    quietUpdate_ = false;
    d_.helpers.TrimMemory();
}

std::string UpdateCheck::LoadNewVersion() {
    NewVersionText_.clear();
    const auto lines = d_.files.readTextLines(d_.paths.file("update.txt"));
    if (lines && !lines->empty()) NewVersionText_ = TrimBlanks(lines->front());
    const std::string digits = TrimBlanks(WithoutDots(NewVersionText_));
    return digits.empty() ? "0" : digits;
}

bool UpdateCheck::isNeedUpdate() {
    const auto current = ParseInt32(WithoutDots(versionText_));
    const auto newest = ParseInt32(LoadNewVersion());
    return current && newest && *current < *newest;
}

}  // namespace qm
