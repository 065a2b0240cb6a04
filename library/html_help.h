#pragma once
// Help topics and the version text of "about" windows.
//
// Help is a folder of HTML pages the station ships, one page per topic, and
// an alias file of lines name=page that maps the short topic names the
// windows use to pages ("options=settings.htm"). A topic is shown by
// handing its page to the desktop's handler (xdg-open), which opens the
// user's browser. Where the page cannot be shown (no handler, no browser,
// no page) the user is told in a message box instead of the click doing
// nothing. There is one help object per process; the program sets its
// folder and aliases at start, the windows then only name topics. Main
// thread only.
//
//   lib::get_html_help().set_file_name(os::program_dir() + "/help");
//   lib::get_html_help().load_aliases(os::program_dir() + "/help/aliases.txt");
//   ...
//   lib::get_html_help().show_help_topic("options");

#include <map>
#include <string>

#include "platform/ui/edits.h"

namespace lib {

using AnsiString = std::string;

class HtmlHelper {
public:
    // The folder of the help pages; the name of a file in it stands for
    // the folder.
    void set_file_name(const AnsiString& name);
    const AnsiString& get_file_name() const { return file_name; }
    // Empties the aliases, then reads the alias file (Windows-1251 lines
    // name=page; lines without a name or a page are passed over, and a name
    // keeps the page of its first line). Throws std::runtime_error naming
    // the file when it cannot be read.
    void load_aliases(const AnsiString& file);
    // The page of a topic: its alias, or the topic itself.
    AnsiString page_of(const char* topic) const;
    // The path (or, with an "#anchor", the file URL) handed to the
    // desktop's handler for the topic.
    AnsiString target_of(const char* topic) const;
    // Opens the topic's page. A handler that cannot be started is told at
    // once; one that ends in failure (it found no browser, no page) is told
    // when it ends, from the main message queue. The message names the
    // page and the cause.
    void show_help_topic(const char* topic);

private:
    AnsiString file_name;
    std::map<AnsiString, AnsiString> aliases;
};

HtmlHelper& get_html_help();

// Replaces the first occurrence of `what` (letter case counts) in the
// control's text by `with`; nothing when it does not occur.
void replace_text(ui::TCustomEdit* edit, const char* what, const AnsiString& with);
// Replaces the first "##VERSION##" by the build's version text
// ("3.1.4, билд 159"; see version_text.h).
void show_version(ui::TCustomEdit* edit);

}  // namespace lib
