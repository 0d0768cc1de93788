#include "printer/spooler.h"

#include "core/progress.h"
#include "core/texts.h"
#include "core/ui.h"
#include "job/job.h"
#include "job/job_text.h"
#include "printer/cups_connection.h"

#include <cups/cups.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace {

// Closes the connection when the call ends, whatever the path.
struct Connection {
    http_t* http = nullptr;
    ~Connection() {
        if (http) httpClose(http);
    }
};

struct JobState {
    int state = 0; // ipp_jstate_t, 0 when unknown
    std::string why;
};

JobState queryJob(http_t* http, int jobId) {
    JobState out;
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/jobs/%d", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    static const char* const wanted[] = {"job-state", "job-state-reasons",
                                         "job-printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr,
                  wanted);
    ipp_t* response = cupsDoRequest(http, request, "/");
    if (!response) return out;
    if (ipp_attribute_t* a = ippFindAttribute(response, "job-state", IPP_TAG_ENUM))
        out.state = ippGetInteger(a, 0);
    if (ipp_attribute_t* a =
            ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT)) {
        const char* s = ippGetString(a, 0, nullptr);
        if (s && *s) out.why = s;
    }
    if (out.why.empty()) {
        if (ipp_attribute_t* a = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD)) {
            const char* s = ippGetString(a, 0, nullptr);
            if (s && *s) out.why = s;
        }
    }
    ippDelete(response);
    return out;
}

// Create-Job on our connection only: libcups' cupsCreateJob asks the default connection
// (with its own long timeout) when the request fails, which would undo the bounded wait.
int createJob(http_t* http, const std::string& queue, const std::string& title) {
    ipp_t* request = ippNewRequest(IPP_OP_CREATE_JOB);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", queue.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, title.c_str());
    const std::string resource = "/printers/" + queue;
    ipp_t* response = cupsDoRequest(http, request, resource.c_str());
    int jobId = 0;
    if (ipp_attribute_t* a = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER))
        jobId = ippGetInteger(a, 0);
    ippDelete(response);
    return jobId;
}

struct QueueState {
    bool stopped = false;
    std::string why; // the queue's state message
};

QueueState queryQueue(http_t* http, const std::string& queue) {
    QueueState out;
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", queue.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    static const char* const wanted[] = {"printer-state", "printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr,
                  wanted);
    ipp_t* response = cupsDoRequest(http, request, "/");
    if (!response) return out;
    if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM))
        out.stopped = ippGetInteger(a, 0) == IPP_PSTATE_STOPPED;
    if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT)) {
        const char* s = ippGetString(a, 0, nullptr);
        if (s && *s) out.why = jobLineText(s);
    }
    ippDelete(response);
    return out;
}

// True when the server knows no printer or class of that name.
bool queueMissing(http_t* http, const std::string& queue) {
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", queue.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-name");
    ipp_t* response = cupsDoRequest(http, request, "/");
    const bool missing = cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND;
    ippDelete(response);
    return missing;
}

// Removes a job whose document did not arrive whole, so no half job waits in the queue. The
// job's own connection may be broken by then: a fresh one is used.
void cancelJob(const std::string& queue, int jobId) {
    http_t* http = openCupsConnection();
    if (!http) return;
    cupsCancelJob2(http, queue.c_str(), jobId, 0);
    httpClose(http);
}

} // namespace

SpoolOutcome spoolProducedDocument(
    const std::string& queue, const std::string& documentName,
    const std::function<bool(const std::function<bool(std::string_view)>& sink)>& produce,
    int settleMs) {
    SpoolOutcome out;
    if (queue.empty()) {
        out.reason = "no printer queue is selected";
        return out;
    }
    // A connection of our own for this one job: nothing is kept between prints, and a
    // restarted server never meets a stale cached connection.
    Connection c;
    c.http = openCupsConnection();
    if (!c.http) {
        out.reason = cupsUnreachableText();
        return out;
    }

    // The name is the spooler's job title: no control characters (it is shown in listings).
    const std::string title = jobLineText(documentName);
    const int jobId = createJob(c.http, queue, title);
    if (jobId <= 0) {
        // libcups reports a missing queue only as an internal error; ask the server.
        out.reason = cupsFailureReason(c.http);
        if (httpError(c.http) != ETIMEDOUT && queueMissing(c.http, queue))
            out.reason = "the queue does not exist";
        return out;
    }
    out.jobId = jobId;
    if (cupsStartDocument(c.http, queue.c_str(), jobId, title.c_str(), CUPS_FORMAT_RAW, 1) !=
        HTTP_STATUS_CONTINUE) {
        out.reason = cupsFailureReason(c.http);
        cancelJob(queue, jobId);
        return out;
    }
    bool writeFailed = false;
    const bool whole = produce([&](std::string_view piece) {
        // Each piece goes over whole: libcups sends a large buffer straight from our memory.
        if (!piece.empty() &&
            cupsWriteRequestData(c.http, piece.data(), piece.size()) != HTTP_STATUS_CONTINUE) {
            writeFailed = true;
            return false;
        }
        return true;
    });
    if (!whole && !writeFailed) {
        // Cancelled: the job goes before its document is complete, so no part of it can
        // start printing; the unfinished request ends with the connection.
        cancelJob(queue, jobId);
        out.reason = "cancelled";
        return out;
    }
    if (!whole) {
        out.reason = "writing the job failed: " + cupsFailureReason(c.http);
        cupsFinishDocument(c.http, queue.c_str());
        cancelJob(queue, jobId);
        return out;
    }
    if (cupsFinishDocument(c.http, queue.c_str()) != IPP_STATUS_OK) {
        out.reason = cupsFailureReason(c.http);
        cancelJob(queue, jobId);
        return out;
    }

    // Accepted. A job CUPS throws away at once (an aborting backend, a cancel) must not be
    // reported as printed, so watch it briefly.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(settleMs);
    while (true) {
        const JobState js = queryJob(c.http, jobId);
        if (js.state == IPP_JSTATE_ABORTED || js.state == IPP_JSTATE_CANCELED) {
            out.reason = std::string(js.state == IPP_JSTATE_ABORTED ? "the job was aborted"
                                                                    : "the job was cancelled") +
                         (js.why.empty() ? std::string() : " (" + js.why + ")");
            return out;
        }
        if (js.state == IPP_JSTATE_COMPLETED || js.state == 0) break;
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // A stopped queue takes the job and keeps it: that is not printing, and the user must know.
    const QueueState qs = queryQueue(c.http, queue);
    if (qs.stopped) {
        out.queuedButStopped = true;
        out.reason = "queued, but the queue is stopped" +
                     (qs.why.empty() ? std::string() : " (" + qs.why + ")") +
                     "; it prints when the queue is started again";
        return out;
    }
    out.ok = true;
    return out;
}

namespace {

using Produce = std::function<bool(const std::function<bool(std::string_view)>& sink)>;

SpoolOutcome spoolWithStatus(const std::string& queue, const std::string& documentName,
                             const Produce& produce, const Feedback& feedback, int settleMs) {
    feedback.status(kStatusPrinting);
    feedback.progress(10);
    SpoolOutcome r = spoolProducedDocument(queue, documentName, produce, settleMs);
    if (r.queuedButStopped) {
        // The job waits in the queue: neither "Sent to Printer" nor "Cancelled" is true.
        feedback.progress(0);
        return r;
    }
    if (!r.ok) {
        feedback.progress(0);
        feedback.status(kStatusCancelled);
        return r;
    }
    feedback.progress(100);
    feedback.status(kStatusSent);
    return r;
}

} // namespace

SpoolOutcome spoolJob(const std::string& queue, const std::string& documentName,
                      PrintJobParts& parts, const Feedback& feedback, int settleMs) {
    const SpoolOutcome r = spoolWithStatus(
        queue, documentName,
        [&](const std::function<bool(std::string_view)>& sink) {
            return sendJobBytes(parts, sink, 20, 90, feedback);
        },
        feedback, settleMs);
    // The parts may hold a gigabyte: give the memory back now, not at the next print.
    std::string().swap(parts.header);
    std::string().swap(parts.imageData);
    std::string().swap(parts.trailer);
    parts.produceImage = nullptr;
    return r;
}

SpoolOutcome spoolRawBytes(const std::string& queue, const std::string& documentName,
                           std::string_view bytes, const Feedback& feedback, int settleMs) {
    return spoolWithStatus(
        queue, documentName,
        [&](const std::function<bool(std::string_view)>& sink) {
            if (!sink(bytes)) return false;
            feedback.progress(90);
            return true;
        },
        feedback, settleMs);
}
