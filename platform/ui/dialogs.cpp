#include "platform/ui/dialogs.h"

#include <cstdio>

namespace ui {
namespace {

// A headless run has nobody to ask: the message goes to standard error and
// the default button answers.
int default_message_box(const MessageBoxRequest& r) {
    std::string line = r.caption.empty() ? r.text : r.caption + ": " + r.text;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    if (r.buttons.empty()) return IDOK;
    const std::size_t i = static_cast<std::size_t>(r.default_button);
    return r.buttons[i < r.buttons.size() ? i : 0];
}

MessageBoxHandler& message_handler() {
    static auto* h = new MessageBoxHandler(default_message_box);
    return *h;
}

FileDialogHandler& file_handler() {
    static auto* h = new FileDialogHandler([](FileDialogRequest&) { return false; });
    return *h;
}

FolderDialogHandler& folder_handler() {
    static auto* h = new FolderDialogHandler([](const std::string&, std::string&) { return false; });
    return *h;
}

ColorDialogHandler& color_handler() {
    static auto* h = new ColorDialogHandler([](TColor&) { return false; });
    return *h;
}

template <typename H>
H replace(H& slot, H handler, H fallback) {
    H old = std::move(slot);
    slot = handler ? std::move(handler) : std::move(fallback);
    return old;
}

int ask(MessageBoxRequest request) {
    if (!request.buttons.empty() &&
        (request.default_button < 0 || request.default_button >= static_cast<int>(request.buttons.size())))
        request.default_button = 0;
    return message_handler()(request);
}

}  // namespace

MessageBoxHandler set_message_box_handler(MessageBoxHandler handler) {
    return replace(message_handler(), std::move(handler), MessageBoxHandler(default_message_box));
}

int MessageBox(std::string_view text, std::string_view caption, unsigned flags) {
    MessageBoxRequest r;
    r.text = std::string(text);
    r.caption = std::string(caption);
    switch (flags & 0xF) {
        case MB_OKCANCEL: r.buttons = {IDOK, IDCANCEL}; break;
        case MB_ABORTRETRYIGNORE: r.buttons = {IDABORT, IDRETRY, IDIGNORE}; break;
        case MB_YESNOCANCEL: r.buttons = {IDYES, IDNO, IDCANCEL}; break;
        case MB_YESNO: r.buttons = {IDYES, IDNO}; break;
        case MB_RETRYCANCEL: r.buttons = {IDRETRY, IDCANCEL}; break;
        default: r.buttons = {IDOK}; break;
    }
    switch (flags & 0xF0) {
        case MB_ICONERROR: r.icon = MessageIcon::Error; break;
        case MB_ICONQUESTION: r.icon = MessageIcon::Question; break;
        case MB_ICONWARNING: r.icon = MessageIcon::Warning; break;
        case MB_ICONINFORMATION: r.icon = MessageIcon::Information; break;
        default: break;
    }
    r.default_button = static_cast<int>((flags & 0xF00) >> 8);
    return ask(std::move(r));
}

FileDialogHandler set_file_dialog_handler(FileDialogHandler handler) {
    return replace(file_handler(), std::move(handler), FileDialogHandler([](FileDialogRequest&) { return false; }));
}

bool TOpenDialog::run(bool save) {
    FileDialogRequest r;
    r.save = save;
    r.title = title_;
    r.filter = filter_;
    r.filter_index = filter_index_;
    r.default_ext = default_ext_;
    r.initial_dir = initial_dir_;
    r.options = options_;
    r.file_name = file_name_;
    if (!file_handler()(r)) return false;
    if (r.files.empty() && !r.file_name.empty()) r.files.push_back(r.file_name);
    if (r.files.empty()) return false;
    for (std::string& f : r.files) {
        const std::size_t slash = f.find_last_of("/\\");
        const std::string base = slash == std::string::npos ? f : f.substr(slash + 1);
        if (!default_ext_.empty() && base.find('.') == std::string::npos) f += "." + default_ext_;
    }
    files_ = r.files;
    file_name_ = files_.front();
    filter_index_ = r.filter_index;
    return true;
}

bool TOpenDialog::Execute() { return run(false); }

bool TSaveDialog::Execute() { return run(true); }

FolderDialogHandler set_folder_dialog_handler(FolderDialogHandler handler) {
    return replace(folder_handler(), std::move(handler),
                   FolderDialogHandler([](const std::string&, std::string&) { return false; }));
}

bool SelectDirectory(std::string_view caption, std::string_view root, std::string& directory) {
    std::string folder = directory.empty() ? std::string(root) : directory;
    if (!folder_handler()(std::string(caption), folder)) return false;
    directory = folder;
    return true;
}

ColorDialogHandler set_color_dialog_handler(ColorDialogHandler handler) {
    return replace(color_handler(), std::move(handler), ColorDialogHandler([](TColor&) { return false; }));
}

bool TColorDialog::Execute() {
    TColor c = color_;
    if (!color_handler()(c)) return false;
    color_ = c;
    return true;
}

}  // namespace ui
