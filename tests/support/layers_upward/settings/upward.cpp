// A settings file that reaches up into the image pipeline.
#include "image/load.h"
