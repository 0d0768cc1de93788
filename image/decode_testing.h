// The copying form of the decoder, for tests that compare decoded bytes.
#pragma once

#include "image/decode.h"

// decodeImageFileShared, then the pixels copied into outcome.pixels (width x height x 5
// bytes, the last fifth zero) and the shared memory released; OutOfMemory when the copy
// cannot be allocated.
DecodeOutcome decodeImageFile(const std::string& path, bool flip,
                              const std::function<bool()>& tick = {});
