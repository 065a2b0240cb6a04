#include "programs/vargel2/mailer.h"

#include "platform/os/desktop.h"

namespace vargel2 {

const char kNoMailClient[] = "Невозможно составить письмо, т.к. на компьютере не выбран почтовый клиент по-умолчанию";
const char kMailFailed[] = "Невозможно составить письмо по неизвестным причинам";
const char kMailCaption[] = " Внимание";

std::string mail_subject(const RunState& state) {
    return "Скв. " + state.well_name + " - " + state.area_name + " (технологические данные)";
}

MailResult compose_mail(const std::string& subject, const std::string& body, const std::string& attachment,
                        std::string* detail, int wait_ms) {
    os::SpawnOptions o;
    o.program = "xdg-email";
    o.search_path = true;
    o.null_stdio = true;
    // Every text is UTF-8 inside the program; --utf8 tells xdg-email so
    // whatever the locale.
    o.args = {"--utf8", "--subject", subject, "--body", body, "--attach", attachment};
    std::string why;
    os::ChildHandle child = os::start_child(o, &why);
    if (!child) {
        if (detail) *detail = why;
        return MailResult::no_client;
    }
    const auto code = child->wait(wait_ms);
    // Still running: the composer keeps it open; the handle we let go
    // reaps it when it ends.
    if (!code) return MailResult::composing;
    if (detail) *detail = "xdg-email: " + std::to_string(*code);
    if (*code == 0) return MailResult::composing;
    return *code == 3 ? MailResult::no_client : MailResult::failed;
}

}  // namespace vargel2
