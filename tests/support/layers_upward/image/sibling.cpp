// The image floor reaching sideways into its sibling, the pattern floor.
#include "pattern/pattern_mask.h"
