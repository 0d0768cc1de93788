#include "job/job.h"

#include "image/separation.h"
#include "job/job_internal.h"
#include "printer/models.h"
#include "settings/settings.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

PrinterFamily targetFamily(const AppState& state) {
    return isSecondFamily(state) ? PrinterFamily::Second : PrinterFamily::First;
}

void buildPrintJob(AppState& state, PrintJobParts& job) {
    if (targetFamily(state) == PrinterFamily::Second)
        buildSecondFamilyJob(state, job);
    else
        buildFirstFamilyJob(state, job);
}

int clampCopies(AppState& state) {
    const double value = std::nearbyint(settingValue(state.copiesText));
    // NaN, zero and negative counts all print once.
    const int copies = value >= 99 ? 99 : value >= 1 ? static_cast<int>(value) : 1;
    state.copiesText = plainNumber(copies);
    return copies;
}

std::string printDocumentName(const AppState& state) {
    return jobLineText(jobparts::titleWithoutProgramName(state, state.windowTitle) + " " +
                       state.xCopiesText + " x" + state.yCopiesText);
}

PrintJobParts makePrintJob(AppState& state) {
    PrintJobParts job;
    job.imageData = separateForPrint(state);
    if (job.imageData == kErr) return job;
    buildPrintJob(state, job);
    if (job.imageData == kErr) {
        job.header.clear();
        job.trailer.clear();
    }
    return job;
}

std::string blankPageJobBytes(AppState& state) {
    PrintJobParts job;
    buildBlankPageJob(state, job);
    std::string bytes;
    bytes.reserve(job.header.size() + job.imageData.size() + job.trailer.size() + 2);
    bytes += job.header;
    bytes += job.imageData;
    bytes += job.trailer;
    bytes += "\x04\x04";
    return bytes;
}

bool writeJobFile(const PrintJobParts& job, const std::string& path, std::string& error) {
    if (job.imageData == kErr) {
        error = "no job was built";
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = true;
    for (const std::string* part : {&job.header, &job.imageData, &job.trailer})
        if (!part->empty() && std::fwrite(part->data(), 1, part->size(), f) != part->size())
            ok = false;
    if (std::fclose(f) != 0) ok = false;
    if (!ok) error = path + ": " + std::strerror(errno);
    return ok;
}
