// The words of failures: what the user is told when a subsystem reports a failure as a value.
// The subsystems say what went wrong (a file, a cause, a limit); the actions show these.
#pragma once

#include "core/state.h"
#include "core/ui.h"
#include "image/decode.h"
#include "image/load.h"
#include "job/job.h"
#include "printer/spooler.h"

#include <string>
#include <vector>

// One message box.
struct UserMessage {
    MessageIcon icon = MessageIcon::None;
    std::string caption;
    std::string text;
};

// The message text telling the user why a file was refused or could not be decoded (the
// DevIL error text for DevilError); empty for Ok and for a cancel.
std::string decodeFailureText(const DecodeOutcome& outcome);

// The messages of a load that left no new picture, in the order they are shown; none for a
// cancel or a picture that was simply dropped.
std::vector<UserMessage> loadFailureMessages(const TextTable& texts, const LoadOutcome& outcome);

// The message of a job that could not be built: the picture cannot be placed (text 134) or
// its copies would be too large (text 135); none otherwise.
std::vector<UserMessage> jobFailureMessages(const TextTable& texts, JobProblem problem);

// The failure message shown for a queue and the spooler's reason.
std::string spoolFailureText(const std::string& queue, const std::string& reason);

// What a spool tells the user: a warning for a job that waits in a stopped queue, the
// failure message otherwise; nothing when the job was handed over or the user cancelled.
std::vector<UserMessage> spoolMessages(const std::string& queue, const SpoolOutcome& outcome,
                                       bool cancelledByUser);

// Shows each message through feedback.
void showMessages(const Feedback& feedback, const std::vector<UserMessage>& messages);
