#include "library/html_help.h"

#include <filesystem>

#include "library/version_text.h"
#include "platform/os/desktop.h"
#include "platform/os/directory.h"
#include "platform/os/file.h"
#include "platform/rtl/string_list.h"

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

void HtmlHelper::show_help_topic(const char* topic) {
    // The handle goes at once: the browser lives on its own, and the
    // handler is reaped when it ends.
    os::open_document(target_of(topic));
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
