#include "printer/cups_connection.h"

#include <cerrno>
#include <cstdio>

CupsTimeouts& cupsTimeouts() {
    static CupsTimeouts timeouts;
    return timeouts;
}

http_t* openCupsConnection() {
    const CupsTimeouts& t = cupsTimeouts();
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                t.connectMilliseconds, nullptr);
    // Without a callback a wait that runs out ends the request with an error.
    if (http) httpSetTimeout(http, t.answerMilliseconds / 1000.0, nullptr, nullptr);
    return http;
}

std::string cupsFailureReason(http_t* http) {
    if (http && httpError(http) == ETIMEDOUT) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", cupsTimeouts().answerMilliseconds / 1000.0);
        return "the print server " + std::string(cupsServer()) + " did not answer within " +
               seconds + " s";
    }
    const char* s = cupsLastErrorString();
    return s && *s ? std::string(s) : std::string("unknown error");
}

std::string cupsUnreachableText() {
    return std::string("the print server ") + cupsServer() +
           " cannot be reached (is the CUPS scheduler running?)";
}

bool cupsServerAnswers(std::string& reason) {
    http_t* http = openCupsConnection();
    if (!http) {
        reason = cupsUnreachableText();
        return false;
    }
    // Any answer counts, also "no default destination".
    ipp_t* response = cupsDoRequest(http, ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/");
    const bool answered = response != nullptr;
    if (!answered) reason = cupsFailureReason(http);
    ippDelete(response);
    httpClose(http);
    return answered;
}
