// The platform tests draw text: fontconfig's process-lifetime caches are
// suppressed under LeakSanitizer (see testdata/lsan.supp).
#include "platform/ui/testdata/lsan_options.h"

LSAN_DEFAULT_OPTIONS(__FILE__, "testdata/lsan.supp")
