// Must not compile: the controls are held by the skin's dialog base and know
// nothing of the skin.
#include "skin/SkinImage.h"
