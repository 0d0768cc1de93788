// Spooler output: a print job handed to a CUPS queue as one RAW document, so the job bytes
// reach the printer exactly as built and no driver or filter touches them.
#pragma once

#include "core/app_state.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// How long, in milliseconds, the spooler is watched after the document was accepted for a job
// that CUPS aborts or cancels at once; a job still pending or processing then counts as sent.
inline constexpr int kJobSettleMs = 1000;

// Result of handing a document to CUPS.
struct SpoolOutcome {
    bool ok = false;
    int jobId = 0;                 // CUPS job id once the job exists
    std::string reason;            // why it failed, in words (empty on success)
    bool queuedButStopped = false; // the job waits in a stopped queue (ok is false)
};

// Sends pieces, in order and each whole in one write, as the single RAW document of a new job
// on queue (the whole name; CUPS compares queue names without regard to case), named
// documentName. afterPiece(i) runs once piece i has been written. Shows nothing. Fails with a
// reason when the server cannot be reached, the queue does not exist or refuses jobs, a write
// fails, the job is aborted or cancelled within settleMs of being accepted, the server does
// not answer within cupsTimeouts(), or the queue is stopped (queuedButStopped: the job stays
// queued and prints when the queue is started again).
SpoolOutcome spoolRawDocument(const std::string& queue, const std::string& documentName,
                              const std::vector<std::string_view>& pieces,
                              const std::function<void(std::size_t)>& afterPiece = {},
                              int settleMs = kJobSettleMs);

// The same for a document whose bytes are produced while it is sent: produce hands them to
// its sink in order, each piece written as it comes. When produce returns false without a
// failed write (the user cancelled), the job is removed and the outcome's reason is
// "cancelled".
SpoolOutcome spoolProducedDocument(
    const std::string& queue, const std::string& documentName,
    const std::function<bool(const std::function<bool(std::string_view)>& sink)>& produce,
    int settleMs = kJobSettleMs);

// Spools a built job: status "Printing", progress 10, then 20 to 90 while the image data
// goes (produced block by block when the job streams it), 100 and status "Sent to Printer"
// at the end. On failure a message names the queue and the reason, the status line shows
// "Cancelled" and the progress bar 0 (for a stopped queue a warning says the job is queued,
// and the status line is left as it is). A cancel by the user removes the job and shows
// "Cancelled" without a message. The job's parts are emptied in every case. True when the
// job was handed over.
bool spoolJob(AppState& state, const std::string& queue, const std::string& documentName,
              PrintJobParts& parts, int settleMs = kJobSettleMs);

// Spools bytes as they are (the blank page job, test jobs) with the same status, progress
// and failure messages as spoolJob.
bool spoolRawBytes(AppState& state, const std::string& queue, const std::string& documentName,
                   std::string_view bytes, int settleMs = kJobSettleMs);

// The failure message shown for a queue and reason.
std::string spoolFailureText(const std::string& queue, const std::string& reason);
