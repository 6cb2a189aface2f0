// Must not build: a relative path reaches a header of the application
// layer on the disk, which the include paths alone would let through.
#include "../../app/FolderCheck.h"
