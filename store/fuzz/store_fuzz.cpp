// libFuzzer target: the game's whole read path over a mutated database file. Every outcome but a
// StoreError is a fault: a crash, a sanitizer report, a hang or another exception type.

#include "ReadEverything.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& folder()
{
    static const std::string dir = [] {
        char name[] = "/tmp/tavrello-fuzz-XXXXXX";
        if (!mkdtemp(name))
            std::abort();
        return std::string(name);
    }();
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = folder() + "/dbImages.mdb";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    storefuzz::readEverything(folder());
    return 0;
}
