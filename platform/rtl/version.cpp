#include "platform/rtl/version.h"

namespace rtl {
const char* platform_version() { return "1"; }
}  // namespace rtl
