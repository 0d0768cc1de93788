// Connections to the CUPS server with bounded waits: a server that accepts a connection and
// then never answers must not hang the program.
#pragma once

#include <cups/cups.h>

#include <string>

// How long a connection attempt and each wait for an answer may take.
struct CupsTimeouts {
    int connectMilliseconds = 10000;
    int answerMilliseconds = 20000;
};
// The process-wide timeouts (tests shorten them).
CupsTimeouts& cupsTimeouts();

// A new connection to the server libcups is set up for, whose every read and write gives up
// after the answer timeout (the call then fails with ETIMEDOUT); null when the connection
// cannot be made in time.
http_t* openCupsConnection();

// The reason text for a request that failed on http: a timeout is named as such, otherwise
// libcups' last error text.
std::string cupsFailureReason(http_t* http);

// "the print server NAME cannot be reached (is the CUPS scheduler running?)".
std::string cupsUnreachableText();

// True when the server takes a connection and answers a request in time; otherwise false
// with reason (unreachable, or the timeout).
bool cupsServerAnswers(std::string& reason);
