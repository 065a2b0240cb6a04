#include "library/test_plugins/test_plugin.h"

extern "C" int something_else() { return 1; }
