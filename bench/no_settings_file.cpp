// kxbench measures the defaults: a kxpwrvr.ini left beside the build's
// libraries is not read unless KXPWRVR_INI names a file on purpose.
#include <cstdlib>

static const bool noSettingsFile = (setenv("KXPWRVR_INI", "", 0), true);
