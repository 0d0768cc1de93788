// The printer model table reaching up into the spooler.
#include "printer/spooler.h"
