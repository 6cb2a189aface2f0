// Must not compile: the workflow knows no window.
#include "app/InstallerDlg.h"
