// printconv-cli job, blank, proof and print.
#include "actions/actions.h"
#include "actions/app_state.h"
#include "cli/commands.h"
#include "cli/job_options.h"
#include "job/job.h"
#include "job/proof.h"

#include <cstdio>
#include <fstream>

namespace {

bool writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) std::fprintf(stderr, "printconv-cli: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

} // namespace

int cliJob(AppState& state, const CliArgs& args) {
    JobOptions o;
    if (!parseJobOptions(args, true, o)) return 2;
    if (o.output.empty()) {
        std::fprintf(stderr, "printconv-cli: job needs -o FILE\n");
        return 2;
    }
    if (!openWithOptions(state, o)) return 1;
    PrintJobParts job = buildSessionJob(state);
    if (!job.ok()) return 1;
    std::string error;
    if (!writeJobFile(job, o.output, error, feedback(state))) {
        std::fprintf(stderr, "printconv-cli: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

int cliBlank(AppState& state, const CliArgs& args) {
    JobOptions o;
    if (!parseJobOptions(args, false, o)) return 2;
    if (o.output.empty() == o.queue.empty()) {
        std::fprintf(stderr, "printconv-cli: blank needs -o FILE or --queue NAME\n");
        return 2;
    }
    if (!openWithOptions(state, o)) return 1;
    if (!o.output.empty()) return writeBytes(o.output, blankPageBytes(state)) ? 0 : 1;
    return printBlankPage(state, o.queue) == ActionResult::Done ? 0 : 1;
}

int cliPrint(AppState& state, const CliArgs& args) {
    JobOptions o;
    if (!parseJobOptions(args, true, o)) return 2;
    if (o.queue.empty() || !o.output.empty()) {
        std::fprintf(stderr, "printconv-cli: print needs --queue NAME\n");
        return 2;
    }
    if (!openWithOptions(state, o)) return 1;
    return printImageAction(state, {o.queue}, o.queue) == ActionResult::Done ? 0 : 1;
}

int cliProof(AppState& state, const CliArgs& args) {
    JobOptions o;
    if (!parseJobOptions(args, true, o)) return 2;
    if (o.output.empty()) {
        std::fprintf(stderr, "printconv-cli: proof needs -o FILE.png\n");
        return 2;
    }
    if (!openWithOptions(state, o)) return 1;
    const std::string bytes = currentJobBytes(state);
    if (bytes.empty()) return 1;
    std::string error;
    if (!renderProof(bytes, o.output, error)) {
        std::fprintf(stderr, "printconv-cli: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
