// Must not compile: the framework is the lowest layer.
#include "skin/DlgEx.h"
