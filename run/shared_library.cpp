// libquorvex.so is the whole engine linked in; its version script keeps only
// Init and ComputeOneIteration visible. This file only gives the target a source.
#include "quorvex.h"
