// The road's tests draw charts that measure text: fontconfig's
// process-lifetime caches are suppressed under LeakSanitizer (see
// platform/ui/testdata/lsan.supp).
#include "platform/ui/testdata/lsan_options.h"

LSAN_DEFAULT_OPTIONS(__FILE__, "../../platform/ui/testdata/lsan.supp")
