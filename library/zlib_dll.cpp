#include "library/zlib_dll.h"

namespace lib {

Zlib::Zlib()
    : dll::Library("libz.so.1"),
      compress("compress", *this),
      compress2("compress2", *this),
      uncompress("uncompress", *this) {}

void Zlib::bind() {
    // The bound functions resolve lazily and are not guarded themselves;
    // resolving all three here, under the lock, leaves them read-only after.
    std::lock_guard<std::mutex> lock(mutex_);
    if (bound_) return;
    compress.load();
    compress2.load();
    uncompress.load();
    bound_ = true;
}

Zlib& zlib() {
    static Zlib instance;
    instance.bind();
    return instance;
}

}  // namespace lib
