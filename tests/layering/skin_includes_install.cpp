// Must not compile: the skinned controls know nothing of the workflow.
#include "install/Download.h"
