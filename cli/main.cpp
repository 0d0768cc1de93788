// printconv-cli: the command-line companion of Lumivane Basic.
#include "actions/app_state.h"
#include "core/folders.h"
#include "actions/startup.h"
#include "core/temp_folders.h"
#include "core/texts.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "model/models.h"
#include "settings/language.h"
#include "actions/defaults.h"
#include "settings/settings.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void usage() {
    std::fputs("usage: printconv-cli --version\n"
               "       printconv-cli settings get SECTION KEY\n"
               "       printconv-cli settings set SECTION KEY VALUE\n"
               "       printconv-cli texts N\n"
               "       printconv-cli probe FILE\n"
               "       printconv-cli layout IMAGE [options]\n"
               "       printconv-cli separate IMAGE [options] -o FILE\n"
               "       printconv-cli preview IMAGE [options] -o FILE.png\n"
               "       printconv-cli job IMAGE [options] -o FILE\n"
               "       printconv-cli blank [options] (-o FILE | --queue NAME)\n"
               "       printconv-cli proof IMAGE [options] -o FILE.png\n"
               "       printconv-cli print IMAGE --queue NAME [options]\n"
               "       printconv-cli queues [--printer MODEL] | queues --brand\n"
               "       printconv-cli status ADDRESS [--details]\n"
               "       printconv-cli snapshot save FILE [--printer MODEL --paper NAME ...]\n"
               "       printconv-cli mask IMAGE [options] -o FILE\n"
               "       printconv-cli shapes list | shapes remove NAME...\n"
               "       printconv-cli shapes import FILE.ai [--name NAME] [--spacing0 P]\n"
               "                     [--spacing45 P] [--replace]\n"
               "options: --printer MODEL --paper NAME --media TEXT --tray TEXT --copies N\n"
               "         --xcopies N --ycopies N --auto-tile --fit-to-page --fixed-spacing MM\n"
               "         --align centre|top-left|top-centre|top-right --rotate|--no-rotate\n"
               "         --mirror|--no-mirror --flip --brightness N --contrast N --width LENGTH\n"
               "         --height LENGTH --crop --profile-in FILE --profile-out FILE\n"
               "         --colour-adjust HEX48 --preview-size WxH --snapshot FILE.scfg\n"
               "         --pattern --pattern-shape NAME --pattern-size W H --pattern-gap MM\n"
               "         --pattern-angle 0|45 --pattern-invert\n",
               stderr);
}

} // namespace

int cliSettings(AppState& state, const CliArgs& args) {
    if (args.size() == 3 && args[0] == "get") {
        // Any section and key, as the file holds them: this is the raw tool.
        std::printf("%s\n", state.settings.read(args[1], args[2]).c_str());
        return 0;
    }
    if (args.size() == 4 && args[0] == "set") {
        if (const std::string problem = settingNameProblem(args[1], args[2]); !problem.empty()) {
            std::fprintf(stderr, "printconv-cli: %s\n", problem.c_str());
            return 2;
        }
        return state.settings.write(args[1], args[2], args[3]) == 0 ? 0 : 1;
    }
    return 2;
}

int cliTexts(AppState& state, const CliArgs& args) {
    if (args.size() != 1 || args[0].empty() ||
        args[0].find_first_not_of("0123456789") != std::string::npos || args[0].size() > 6)
        return 2;
    int n = std::stoi(args[0]);
    if (static_cast<std::size_t>(n) >= state.language.texts.size()) {
        std::fprintf(stderr, "text %d is not in the table (0..%zu)\n", n,
                     state.language.texts.size() - 1);
        return 1;
    }
    std::string t = text(state.language, n);
    std::string out;
    for (std::size_t i = 0; i < t.size(); ++i)
        if (!(t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n')) out += t[i];
    std::printf("%s\n", out.c_str());
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        usage();
        return 2;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        usage();
        return 0;
    }
    if (command == "--version") {
        std::printf("printconv-cli %s\n", PRINTCONV_VERSION);
        return 0;
    }
    CliArgs args(argv + 2, argv + argc);
    // Ctrl-C or SIGTERM must not leave copies of the user's picture or settings behind.
    removeTemporaryFoldersOnSignals();

    CliUserInterface ui;
    AppState state;
    state.ui = &ui;
    if (!resolveFolders(state.locations)) {
        std::fprintf(stderr,
                     "cannot use the settings folder \"%s\": it cannot be created, is not yours, "
                     "or there is no home folder\n",
                     state.locations.userFolder.c_str());
        return 1;
    }
    loadTargetPrinter(state.target, state.settings);
    if (command == "settings") {
        int rc = cliSettings(state, args);
        if (rc == 2) usage();
        return rc;
    }

    // Every other command sees the program as it starts: settings prepared (on a first run
    // the file is made), language loaded.
    prepareSettings(state, false);
    ensureSettings(state);
    // From here the command acts as the user setting the window's controls for this run
    // alone: the stored settings are read, never written (the shape library commands change
    // the library and say where it is).
    if (command != "shapes") state.settings.keepChangesInMemory();

    struct Command {
        const char* name;
        int (*run)(AppState&, const CliArgs&);
    };
    static const Command commands[] = {
        {"texts", cliTexts},     {"layout", cliLayout}, {"separate", cliSeparate},
        {"preview", cliPreview}, {"job", cliJob},       {"blank", cliBlank},
        {"proof", cliProof},     {"print", cliPrint},   {"probe", cliProbe},
        {"queues", cliQueues},   {"status", cliStatus}, {"snapshot", cliSnapshot},
        {"mask", cliMask},       {"shapes", cliShapes},
    };
    int rc = 2;
    for (const auto& c : commands)
        if (command == c.name) rc = c.run(state, args);
    if (rc == 2) usage();
    return rc;
}
