#pragma once
// zlib bound at run time, so that the library is needed only by a program
// that really packs or unpacks a section archive.
//
// The types are zlib's own (<zlib.h>); the functions come from "libz.so.1"
// on first use. A missing library or function throws lib::dll::Exception.

#include <zlib.h>

#include <mutex>

#include "library/dll.h"

namespace lib {

class Zlib : public dll::Library {
public:
    Zlib();

    // Binds the three functions once (the library is loaded then); safe from
    // any thread. Throws lib::dll::Exception when zlib or a function is
    // missing, and tries again on the next call.
    void bind();

    dll::CdeclFunction4<int, Bytef*, uLongf*, const Bytef*, uLong> compress;
    dll::CdeclFunction5<int, Bytef*, uLongf*, const Bytef*, uLong, int> compress2;
    dll::CdeclFunction4<int, Bytef*, uLongf*, const Bytef*, uLong> uncompress;

private:
    std::mutex mutex_;
    bool bound_ = false;
};

// The one instance of the process, bound before it is returned.
Zlib& zlib();

}  // namespace lib
