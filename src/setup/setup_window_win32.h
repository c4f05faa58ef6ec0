#pragma once
// The installer's real window: a fixed-size top-level window with a child
// control for every text of frmSETUP, so that tools can read them all.
#include <windows.h>

#include <string>

#include "platform/code_page.h"
#include "platform/ui_kit_win32.h"
#include "platform/unique_resource.h"
#include "setup/setup_layout.h"
#include "setup/setup_wizard.h"

namespace qm {

// Lives in WinMain's frame for the whole run: the model pumps messages
// inside its handlers, so the window may be destroyed while one of them is
// still on the stack, and only the window handle may go away under it.
class SetupWindowWin32 final : public SetupWindowPort {
  public:
    explicit SetupWindowWin32(HINSTANCE instance);
    // Destroys a window still open without calling back into the model.
    ~SetupWindowWin32() override;
    SetupWindowWin32(const SetupWindowWin32&) = delete;
    SetupWindowWin32& operator=(const SetupWindowWin32&) = delete;

    // Makes the window and its controls, hidden and centred on the work
    // area; false when it cannot be made.
    bool create();
    // The model that gets the window's events from now on.
    void attach(frmSETUP& model) { model_ = &model; }
    void show(int showState);
    HWND handle() const { return hwnd_; }
    // Tab, Enter, Esc and the buttons' access keys, for every loop that
    // takes messages: true when the message was the window's and has been
    // handled.
    bool preTranslate(MSG& msg) { return TranslateDialogKeys(hwnd_, msg); }

    void setText1(const std::string& text) override;
    void setText2(const std::string& text) override;
    void focusText2AtEnd() override;
    void enableChoosing(bool enabled) override;
    int messageBox(const std::string& text, std::uint32_t style) override;
    std::string browseForFolder(const std::string& title) override;
    void close() override;

  private:
    static LRESULT CALLBACK formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK paneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handleForm(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handlePane(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Messages that children send to their parent, wherever they sit.
    bool handleChildNotice(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void onCommand(HWND from, WORD code);
    void paintPane(HWND pane);
    void makeControls();
    HWND makeChild(const wchar_t* cls, const std::string& text, DWORD style, DWORD exStyle,
                   HWND parent, int id, const setupdesign::Twips& box, HFONT font);
    HWND makePane(HWND parent, int id, const setupdesign::Twips& box);
    // A label grows to its text when the screen's font draws it larger than
    // the design allows.
    // The window's texts measured in its fonts, for the layout.
    SetupTextMetrics measureTexts() const;
    void onWindowGone();

    HINSTANCE instance_;
    frmSETUP* model_ = nullptr;
    Scale scale_;
    SetupLayout layout_ = DesignSetupLayout();
    UniqueFont font_, boldFont_;
    UniqueIcon picture_;
    HBRUSH whiteBrush_ = nullptr;  // stock, never freed
    HWND hwnd_ = nullptr;
    HWND picture1_ = nullptr, label1_ = nullptr, label2_ = nullptr, picture2_ = nullptr,
         label3_ = nullptr, frame1_ = nullptr, text1_ = nullptr, command1_ = nullptr,
         label4_ = nullptr, text2_ = nullptr, frame2_ = nullptr, command3_ = nullptr,
         command2_ = nullptr;
    HWND lastFocus_ = nullptr;
};

}  // namespace qm
