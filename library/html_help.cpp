#include "library/html_help.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>

#include "library/version_text.h"
#include "platform/os/desktop.h"
#include "platform/os/directory.h"
#include "platform/os/error_log.h"
#include "platform/os/file.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/message_queue.h"

namespace lib {

void HtmlHelper::set_file_name(const AnsiString& name) { file_name = os::native_path(name); }

void HtmlHelper::load_aliases(const AnsiString& file) {
    aliases.clear();
    rtl::StringList lines;
    lines.LoadFromFile(os::native_path(file));
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string name = lines.Names(i);
        if (name.empty()) continue;
        const std::string page = lines.Values(name);
        if (!page.empty()) aliases[name] = page;
    }
}

AnsiString HtmlHelper::page_of(const char* topic) const {
    const std::string t = topic ? topic : "";
    auto it = aliases.find(t);
    return it == aliases.end() ? t : it->second;
}

AnsiString HtmlHelper::target_of(const char* topic) const {
    std::string folder = file_name;
    if (!folder.empty() && !os::is_directory(folder)) {
        const std::size_t cut = folder.find_last_of('/');
        folder = cut == std::string::npos ? std::string() : folder.substr(0, cut);
    }
    std::string page = os::native_path(page_of(topic));
    std::string anchor;
    if (const std::size_t hash = page.find('#'); hash != std::string::npos) {
        anchor = page.substr(hash);
        page.erase(hash);
    }
    std::string path = folder.empty() ? page : folder + "/" + page;
    if (anchor.empty()) return path;
    // Only a URL carries an anchor to the browser.
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return "file://" + (ec ? path : absolute.string()) + anchor;
}

namespace {

const char help_caption[] = "Справка";

void tell_help_failure(const std::string& target, const std::string& cause) {
    ui::MessageBox("Не удалось открыть справку (" + target + "): " + cause + ".", help_caption,
                   ui::MB_OK | ui::MB_ICONWARNING);
}

// What xdg-open's exit status says went wrong.
std::string handler_failure(int code) {
    switch (code) {
        case 2: return "нет файла страницы";
        case 3: return "не найдена программа для просмотра страниц (браузер)";
        case 4: return "браузер не открыл страницу";
        default: return "программа xdg-open завершилась с кодом " + std::to_string(code);
    }
}

}  // namespace

void HtmlHelper::show_help_topic(const char* topic) {
    const std::string target = target_of(topic);
    std::string error;
    os::ChildHandle handler = os::open_document(target, &error);
    if (!handler) {
        os::log_error("help page '" + target + "': " + error);
        tell_help_failure(target, "не запускается программа xdg-open, которая открывает страницы в браузере");
        return;
    }
    // The handler may live as long as the browser it starts, so its end is
    // awaited on a thread of its own and a failure told on the main thread.
    try {
        std::thread([handler, target] {
            std::optional<int> code;
            try {
                code = handler->wait(-1);
            } catch (...) {}
            if (code && *code != 0)
                ui::main_queue().post([target, c = *code] { tell_help_failure(target, handler_failure(c)); });
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the page was handed over, and the handler is
        // reaped when the handle goes.
    }
}

HtmlHelper& get_html_help() {
    static HtmlHelper helper;
    return helper;
}

void replace_text(ui::TCustomEdit* edit, const char* what, const AnsiString& with) {
    if (!edit || !what || !*what) return;
    std::string text = edit->Text();
    const std::size_t at = text.find(what);
    if (at == std::string::npos) return;
    text.replace(at, std::char_traits<char>::length(what), with);
    edit->SetText(text);
}

void show_version(ui::TCustomEdit* edit) { replace_text(edit, "##VERSION##", version_text()); }

}  // namespace lib
