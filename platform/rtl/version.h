#pragma once

namespace rtl {
// The platform layer's own version, for logs and the about texts.
const char* platform_version();
}  // namespace rtl
