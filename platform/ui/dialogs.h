#pragma once
// The questions a window asks its user: message boxes, file and folder
// choice, colour choice. Each goes through a handler that a host or a test
// may replace; the default handlers never block: a message box is written to
// standard error and answered with its default button, and file, folder and
// colour choices are cancelled.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/controls.h"

namespace ui {

// Message box flags and answers, numbered as the stations' code expects.
constexpr unsigned MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
                   MB_RETRYCANCEL = 0x5, MB_ICONERROR = 0x10, MB_ICONHAND = 0x10, MB_ICONSTOP = 0x10,
                   MB_ICONQUESTION = 0x20, MB_ICONWARNING = 0x30, MB_ICONEXCLAMATION = 0x30, MB_ICONINFORMATION = 0x40,
                   MB_ICONASTERISK = 0x40, MB_DEFBUTTON1 = 0x0, MB_DEFBUTTON2 = 0x100, MB_DEFBUTTON3 = 0x200;
constexpr int IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7;

enum class MessageIcon { None, Error, Question, Warning, Information };

struct MessageBoxRequest {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::None;
    std::vector<int> buttons;  // the answers in button order (IDOK ..., equal to mrOk ...)
    int default_button = 0;    // index into buttons
};

// Returns one of the request's buttons.
using MessageBoxHandler = std::function<int(const MessageBoxRequest& request)>;
// Sets the handler (an empty one restores the default) and returns the one
// that was set.
MessageBoxHandler set_message_box_handler(MessageBoxHandler handler);

int MessageBox(std::string_view text, std::string_view caption, unsigned flags);
// A message box as a modal form of its own (the handler a real screen's
// display sets): the text, a row of buttons; the close box gives Cancel,
// or No, or the only button.
int ShowMessageForm(const MessageBoxRequest& request);

// --- file, folder and colour choice -----------------------------------------------

enum TOpenOption {
    ofReadOnly,
    ofOverwritePrompt,
    ofHideReadOnly,
    ofNoChangeDir,
    ofAllowMultiSelect,
    ofPathMustExist,
    ofFileMustExist,
    ofCreatePrompt,
    ofEnableSizing
};
using TOpenOptions = Set<TOpenOption>;

struct FileDialogRequest {
    bool save = false;
    std::string title;
    std::string filter;  // "Text files|*.txt|All files|*.*"
    int filter_index = 1;
    std::string default_ext;
    std::string initial_dir;
    TOpenOptions options;
    // In: the proposed name; out: the chosen file(s).
    std::string file_name;
    std::vector<std::string> files;
};
// Returns true when the user chose a file (filled into the request).
using FileDialogHandler = std::function<bool(FileDialogRequest& request)>;
FileDialogHandler set_file_dialog_handler(FileDialogHandler handler);

class TOpenDialog : public TComponent {
public:
    explicit TOpenDialog(TComponent* owner) : TComponent(owner) {}
    // Asks for a file; true when one was chosen. A chosen name without an
    // extension gets DefaultExt.
    virtual bool Execute();

    const std::string& FileName() const { return file_name_; }
    void SetFileName(std::string v) { file_name_ = std::move(v); }
    const std::vector<std::string>& Files() const { return files_; }
    void SetFilter(std::string v) { filter_ = std::move(v); }
    void SetDefaultExt(std::string v) { default_ext_ = std::move(v); }
    void SetInitialDir(std::string v) { initial_dir_ = std::move(v); }
    const std::string& Title() const { return title_; }
    void SetTitle(std::string v) { title_ = std::move(v); }
    TOpenOptions Options() const { return options_; }
    void SetOptions(TOpenOptions v) { options_ = v; }

protected:
    bool run(bool save);

private:
    std::string file_name_, filter_, default_ext_, initial_dir_, title_;
    std::vector<std::string> files_;
    int filter_index_ = 1;
    TOpenOptions options_{ofHideReadOnly, ofEnableSizing};
};

class TSaveDialog : public TOpenDialog {
public:
    using TOpenDialog::TOpenDialog;
    bool Execute() override;
};

// In: the folder to start in; out: the chosen folder. True when chosen.
using FolderDialogHandler = std::function<bool(const std::string& caption, std::string& folder)>;
FolderDialogHandler set_folder_dialog_handler(FolderDialogHandler handler);
bool SelectDirectory(std::string_view caption, std::string_view root, std::string& directory);

// In: the current colour; out: the chosen one. True when chosen.
using ColorDialogHandler = std::function<bool(TColor& color)>;
ColorDialogHandler set_color_dialog_handler(ColorDialogHandler handler);

class TColorDialog : public TComponent {
public:
    explicit TColorDialog(TComponent* owner) : TComponent(owner) {}
    bool Execute();
    TColor Color() const { return color_; }
    void SetColor(TColor c) { color_ = c; }

private:
    TColor color_ = clBlack;
};

}  // namespace ui
