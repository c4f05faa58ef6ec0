#include "ui/settings_window_win32.h"

#include <commctrl.h>

#include "settings/settings_files.h"
#include "ui/settings_form_win32.h"
#include "ui/alert.h"

namespace qm {

SettingsWindowWin32::SettingsWindowWin32(HINSTANCE instance, CodePage& codePage, Profile& profile,
                                         FileSystem& files, EventLoop& loop,
                                         const std::string& installDir,
                                         std::function<void()> refresh, ImmunityActions actions,
                                         std::function<HICON()> programIcon)
    : instance_(instance),
      codePage_(codePage),
      profile_(profile),
      files_(files),
      loop_(loop),
      diskIni_(InstallPaths(installDir).diskIni()),
      refresh_(std::move(refresh)),
      actions_(std::move(actions)),
      programIcon_(std::move(programIcon)) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    SettingsFormWin32::registerClasses(instance_);

    const std::string face = codePage_.toAnsi(alertdesign::kLabelFont);
    font_.reset(makeFont(face, ScreenScale().dpiY, false, false));
}

SettingsWindowWin32::~SettingsWindowWin32() {
    if (current_ != nullptr) current_->abandon();
    current_ = nullptr;
}

void SettingsWindowWin32::forget(SettingsFormWin32* form) {
    if (current_ == form) current_ = nullptr;
}

void SettingsWindowWin32::ShowSettingsWindow() {
    // One window at a time, also while the first one is still loading.
    if (current_ != nullptr) {
        current_->bringToFront();
        return;
    }
    auto* form = new SettingsFormWin32(*this);
    current_ = form;
    SettingsFormWin32::Hold hold(*form);
    form->open();
}

bool SettingsWindowWin32::IsSettingsWindowOpen() {
    return current_ != nullptr && current_->windowOpen();
}

void SettingsWindowWin32::aClearAll() {
    if (current_ != nullptr) current_->clearAll();
}

void SettingsWindowWin32::AddItem(const std::string& root, const std::string& caption,
                                  const std::string& serial) {
    if (current_ != nullptr) current_->addItem(root, caption, serial);
}

bool SettingsWindowWin32::preTranslate(MSG& msg) {
    return current_ != nullptr && TranslateDialogKeys(current_->handle(), msg);
}

}  // namespace qm
