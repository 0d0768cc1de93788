// printconv-cli probe: the resolution loading would take from a file.
#include "actions/app_state.h"
#include "core/files.h"
#include "core/texts.h"
#include "cli/commands.h"
#include "image/probes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

int cliProbe(AppState& state, const CliArgs& args) {
    (void)state;
    if (args.size() != 1 || args[0].empty()) return 2;
    std::string path = args[0];
    // Only a regular file: a FIFO would block the open, a device give a made-up answer.
    const int fd = openRegularFile(path);
    if (fd < 0) {
        std::fprintf(stderr, "cannot open %s: %s\n", path.c_str(),
                     errno == EINVAL ? "not a regular file" : std::strerror(errno));
        return 1;
    }
    ::close(fd);
    float xDpi = kDefaultResolution, yDpi = kDefaultResolution;
    probeResolutionForPath(path, xDpi, yDpi);
    std::printf("%s %s\n", formatFixed(xDpi, 4).c_str(), formatFixed(yDpi, 4).c_str());
    return 0;
}
