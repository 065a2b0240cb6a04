#pragma once
// Mailing a finished package: the desktop's mail composer opens with the
// subject, the operator's note as the body and the package attached, and no
// recipient, so the user addresses and sends it. The composer is reached
// through "xdg-email" (xdg-utils), found in PATH and started without a
// shell.

#include <string>

#include "programs/vargel2/run_state.h"

namespace vargel2 {

// "Скв. " + well + " - " + area + " (технологические данные)".
std::string mail_subject(const RunState& state);

enum class MailResult {
    composing,  // the composer took the message
    no_client,  // no mail client is configured, or xdg-email is missing
    failed,     // anything else
};

// Hands the message to xdg-email and waits for its answer up to wait_ms (a
// composer that is still open then counts as composing).
MailResult compose_mail(const std::string& subject, const std::string& body, const std::string& attachment,
                        std::string* detail = nullptr, int wait_ms = 5000);

// The texts the user is shown when composing fails.
extern const char kNoMailClient[];
extern const char kMailFailed[];
extern const char kMailCaption[];

}  // namespace vargel2
