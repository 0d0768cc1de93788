// Spooler output: a print job handed to a CUPS queue as one RAW document, so the job bytes
// reach the printer exactly as built and no driver or filter touches them.
#pragma once

#include "core/ui.h"
#include "job/job.h"

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

// Sends the bytes produce hands to its sink, in order and each piece whole in one write, as
// the single RAW document of a new job on queue (the whole name; CUPS compares queue names
// without regard to case), named documentName. Shows nothing. Fails with a reason when the
// server cannot be reached, the queue does not exist or refuses jobs, a write fails, the job
// is aborted or cancelled within settleMs of being accepted, the server does not answer within
// cupsTimeouts(), or the queue is stopped (queuedButStopped: the job stays queued and prints
// when the queue is started again). When produce returns false without a failed write (the
// user cancelled), the job is removed and the outcome's reason is "cancelled".
SpoolOutcome spoolProducedDocument(
    const std::string& queue, const std::string& documentName,
    const std::function<bool(const std::function<bool(std::string_view)>& sink)>& produce,
    int settleMs = kJobSettleMs);

// Spools a built job: status "Printing", progress 10, then 20 to 90 while the image data
// goes (produced block by block when the job streams it), 100 and status "Sent to Printer"
// at the end. On a failure the progress bar goes to 0 and, unless the job waits in a stopped
// queue, the status line shows "Cancelled"; what to tell the user is the outcome's. A cancel
// by the user removes the job. The job's parts are emptied in every case.
SpoolOutcome spoolJob(const std::string& queue, const std::string& documentName,
                      PrintJobParts& parts, const Feedback& feedback, int settleMs = kJobSettleMs);

// Spools bytes as they are (the blank page job, test jobs) with the same status and progress
// as spoolJob.
SpoolOutcome spoolRawBytes(const std::string& queue, const std::string& documentName,
                           std::string_view bytes, const Feedback& feedback,
                           int settleMs = kJobSettleMs);
