// The header check over bytes in memory, for tests and the fuzzer.
#pragma once

#include "image/image_header.h"

#include <string_view>

// Sniffs and reads the header in bytes (the whole file, or as much of it as there is; what
// is missing reads as 0). header receives what was read up to the verdict.
HeaderVerdict inspectImageHeader(std::string_view bytes, ImageHeader& header,
                                 const DecodeLimits& limits);
