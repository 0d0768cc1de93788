#include "job/job.h"

#include "core/numbers.h"
#include "core/progress.h"
#include "core/texts.h"
#include "core/ui.h"
#include "image/separation.h"
#include "job/job_internal.h"
#include "job/job_testing.h"
#include "model/models.h"
#include "settings/settings.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void buildFrom(const JobInputs& in, PrintJobParts& job, const SeparatedRows& source,
               const Feedback& feedback) {
    if (targetFamily(in.target) == PrinterFamily::Second)
        jobparts::buildSecondFamilyJobFrom(in, job, source, feedback);
    else
        jobparts::buildFirstFamilyJobFrom(in, job, source, feedback);
}

} // namespace

PrinterFamily targetFamily(const TargetPrinter& target) {
    return isSecondFamily(target) ? PrinterFamily::Second : PrinterFamily::First;
}

void buildPrintJob(const JobInputs& in, PrintJobParts& job, const Feedback& feedback) {
    buildFrom(in, job, {}, feedback);
}

JobProblem jobparts::attachTiledImage(const JobInputs& in, PrintJobParts& job,
                                      const SeparatedRows& source, TilePlan& plan) {
    SeparatedRows rows = source;
    if (!rows) {
        // The separated raster in memory: it must match the grid, or tiling would read past
        // its end. The job keeps it until the job is gone.
        const long long w = in.gridWidth, h = in.gridHeight;
        if (w <= 0 || h <= 0 || job.imageData.size() != static_cast<std::size_t>(w * h * 5)) {
            job.imageData.clear();
            return JobProblem::Unplaceable;
        }
        auto raster = std::make_shared<const std::string>(std::move(job.imageData));
        rows = [raster, w](int y, char* out, std::size_t planeStride) {
            const char* from = raster->data() + static_cast<std::size_t>(y) * w * 5;
            for (std::size_t p = 0; p < 5; ++p)
                std::memcpy(out + p * planeStride, from + p * static_cast<std::size_t>(w),
                            static_cast<std::size_t>(w));
        };
    }
    job.imageData.clear();
    if (const JobProblem problem = planTiles(in, in.layout.across, in.layout.down, plan);
        problem != JobProblem::None)
        return problem;
    job.imageBytes = plan.bytes();
    job.produceImage = [plan, rows](const ByteSink& sink) {
        return produceTiles(plan, rows, sink);
    };
    return JobProblem::None;
}

int printCopiesFromText(std::string_view text) {
    // Zero and negative counts print once.
    return std::clamp(roundHalfEven(settingValue(text)), 1, 99);
}

std::string printDocumentName(const JobInputs& in) {
    return jobLineText(jobparts::titleWithoutProgramName(in.texts, in.title) + " " +
                       plainNumber(in.layout.xCopies) + " x" + plainNumber(in.layout.yCopies));
}

PrintJobParts makePrintJob(const JobInputs& in, const SeparationInputs& separation,
                           const Feedback& feedback) {
    PrintJobParts job;
    // The rows are separated from the grids while the job is sent: no separated or tiled
    // copy of the whole picture is held.
    auto rows = std::make_shared<const SeparationRows>(separation);
    if (!rows->ok()) {
        job.problem = JobProblem::NoPicture;
        return job;
    }
    buildFrom(
        in, job,
        [rows](int y, char* out, std::size_t planeStride) { rows->row(y, out, planeStride); },
        feedback);
    if (!job.ok()) {
        job.header.clear();
        job.trailer.clear();
        job.produceImage = nullptr;
    }
    return job;
}

std::uint64_t jobImageBytes(const PrintJobParts& job) {
    return job.produceImage ? job.imageBytes : job.imageData.size();
}

bool sendJobBytes(const PrintJobParts& job, const ByteSink& sink, int progressFrom, int progressTo,
                  const Feedback& feedback) {
    if (!job.ok()) return false;
    if (!job.header.empty() && !sink(job.header)) return false;
    const bool bar = progressFrom >= 0;
    if (bar) feedback.progress(progressFrom);
    if (job.produceImage) {
        const double total = static_cast<double>(std::max<std::uint64_t>(job.imageBytes, 1));
        std::uint64_t sent = 0;
        int shown = progressFrom;
        const bool whole = job.produceImage([&](std::string_view block) {
            if (feedback.cancelled() || !sink(block)) return false;
            sent += block.size();
            const int percent =
                progressFrom +
                static_cast<int>((progressTo - progressFrom) * (static_cast<double>(sent) / total));
            if (bar && percent != shown) feedback.progress(percent);
            shown = percent;
            return true;
        });
        if (!whole || sent != job.imageBytes) return false;
    } else if (!job.imageData.empty() && !sink(job.imageData)) {
        return false;
    }
    if (bar) feedback.progress(progressTo);
    return job.trailer.empty() || sink(job.trailer);
}

std::string jobBytes(const PrintJobParts& job, const Feedback& feedback) {
    std::string bytes;
    if (!job.ok()) return bytes;
    bytes.reserve(job.header.size() + jobImageBytes(job) + job.trailer.size());
    if (!sendJobBytes(
            job,
            [&](std::string_view b) {
                bytes.append(b);
                return true;
            },
            -1, -1, feedback))
        bytes.clear();
    return bytes;
}

std::string blankPageJobBytes(const JobInputs& in, const Feedback& feedback) {
    PrintJobParts job;
    buildBlankPageJob(in, job, feedback);
    std::string bytes;
    bytes.reserve(job.header.size() + job.imageData.size() + job.trailer.size() + 2);
    bytes += job.header;
    bytes += job.imageData;
    bytes += job.trailer;
    bytes += "\x04\x04";
    return bytes;
}

bool writeJobFile(const PrintJobParts& job, const std::string& path, std::string& error,
                  const Feedback& feedback) {
    if (!job.ok()) {
        error = "no job was built";
        return false;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    int writeError = 0;
    const bool whole = sendJobBytes(
        job,
        [&](std::string_view bytes) {
            while (!bytes.empty()) {
                const ssize_t n = ::write(fd, bytes.data(), bytes.size());
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    writeError = n < 0 ? errno : ENOSPC;
                    return false;
                }
                bytes.remove_prefix(static_cast<std::size_t>(n));
            }
            return true;
        },
        0, 100, feedback);
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (::close(fd) != 0 && writeError == 0) writeError = errno;
    if (whole && writeError == 0) return true;
    // A job file cut short must not be mistaken for a whole one (a device or pipe named as
    // the output is left alone).
    if (regular) ::unlink(path.c_str());
    error = writeError ? path + ": " + std::strerror(writeError) : "cancelled";
    return false;
}
