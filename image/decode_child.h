// The decoding child: DevIL runs in a forked process with limits on memory, CPU and wall
// time, no capabilities, and (with libseccomp) a system call filter that allows reading the
// file, writing the report pipe and sizing the pixel memory, nothing else. A crash, hang or
// limit ends the child, never the program.
#pragma once

#include "image/devil_calls.h"
#include "image/image_header.h"

#include <functional>
#include <string>

enum class ChildEnd {
    Reported,  // the child ended by itself and sent a complete report
    Failed,    // it crashed, hung past its time, hit a limit, or its report was incomplete
    Cancelled, // tick asked to stop; the child was killed
};

// Decodes path (DevIL type, flip as decodeWithDevil) in a child whose pixels go into the
// memory file pixelFd. The child gets lim.cpuSeconds of CPU, an address space of what the
// process has plus 4 x header.rgbaBytes plus lim.addressSpaceBytes (not under
// AddressSanitizer), and is killed after lim.wallMilliseconds. tick, when given, runs about
// every 100 ms while the parent waits; false kills the child. report receives the child's
// report when the result is Reported; it is the child's word and not yet checked.
ChildEnd runDecodeChild(const std::string& path, unsigned type, bool flip, int pixelFd,
                        const DecodeLimits& lim, const ImageHeader& header,
                        const std::function<bool()>& tick, DevilReport& report);
