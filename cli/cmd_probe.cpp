// printconv-cli probe: the resolution loading would take from a file.
#include "app/app_state.h"
#include "app/texts.h"
#include "cli/commands.h"
#include "image/probes.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

int cliProbe(AppState& state, const CliArgs& args) {
    (void)state;
    if (args.size() != 1 || args[0].empty()) return 2;
    std::string path = args[0];
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return 1;
    }
    ::close(fd);
    float xDpi = kDefaultResolution, yDpi = kDefaultResolution;
    probeResolutionForPath(path, xDpi, yDpi);
    std::printf("%s %s\n", formatFixed(xDpi, 4).c_str(), formatFixed(yDpi, 4).c_str());
    return 0;
}
