// Subcommands of printconv-cli. Each takes the arguments after its name and returns the exit
// code: 0 success, 1 the operation failed (message on stderr), 2 bad usage.
#pragma once

#include <string>
#include <vector>

struct AppState;

using CliArgs = std::vector<std::string>;

int cliSettings(AppState& state, const CliArgs& args);
int cliTexts(AppState& state, const CliArgs& args);
// probe FILE: prints "xDpi yDpi" (four decimals) as loading would take them from FILE.
int cliProbe(AppState& state, const CliArgs& args);
int cliLayout(AppState& state, const CliArgs& args);
int cliSeparate(AppState& state, const CliArgs& args);
int cliPreview(AppState& state, const CliArgs& args);
int cliJob(AppState& state, const CliArgs& args);
int cliBlank(AppState& state, const CliArgs& args);
int cliPrint(AppState& state, const CliArgs& args);
int cliProof(AppState& state, const CliArgs& args);
// mask IMAGE [options] -o FILE: the pattern mask of the picture (W, H little-endian, bytes).
int cliMask(AppState& state, const CliArgs& args);
// shapes list | import FILE.ai [--name NAME] [--spacing0 P] [--spacing45 P] [--replace] |
// remove NAME...: the user's shape library.
int cliShapes(AppState& state, const CliArgs& args);
// queues [--printer MODEL] [--brand]: the "Select Printer" entries (selected first, "* ") or
// the network utility's list ("queue<TAB>column 1<TAB>serial").
int cliQueues(AppState& state, const CliArgs& args);
// status ADDRESS [--details]: the printer readout, "Caption: value" a line; 1 when not found.
int cliStatus(AppState& state, const CliArgs& args);
// snapshot save FILE [options]: writes a configuration snapshot of the current settings (the
// options act on the settings of this run first, as for the image commands).
int cliSnapshot(AppState& state, const CliArgs& args);
