// printconv-cli snapshot save.
#include "cli/commands.h"

#include "actions/actions.h"
#include "actions/app_state.h"
#include "cli/job_options.h"

#include <cstdio>

int cliSnapshot(AppState& state, const CliArgs& args) {
    if (args.size() < 2 || args[0] != "save" || args[1].empty() || args[1][0] == '-') return 2;
    JobOptions options;
    if (!parseJobOptions(CliArgs(args.begin() + 2, args.end()), false, options)) return 2;
    // The snapshot takes the margins from the settings, which the options change for this run.
    if (!openWithOptions(state, options)) return 1;
    if (saveSnapshot(state, args[1]) != ActionResult::Done) return 1;
    std::printf("%s\n", args[1].c_str());
    return 0;
}
