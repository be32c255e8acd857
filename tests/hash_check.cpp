// The stored output hashes against a library given by path: the build
// tree's, or the one a package installed. The harness's lv2_descriptor is
// the loaded library's.
//
// usage: hash_check LIBRARY.so
#include <dlfcn.h>

#include <cinttypes>
#include <cstdio>

#include "regression_scenarios.h"

namespace {
typedef const LV2_Descriptor* (*DescriptorFunction)(uint32_t);
DescriptorFunction loaded = nullptr;
}  // namespace

extern "C" const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return loaded ? loaded(index) : nullptr;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LIBRARY.so\n", argv[0]);
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 1;
    }
    loaded = reinterpret_cast<DescriptorFunction>(dlsym(library, "lv2_descriptor"));
    if (!loaded || !loaded(0)) {
        std::fprintf(stderr, "%s has no plugin descriptor\n", argv[1]);
        return 1;
    }
    int failed = 0;
    for (const regression::Scenario& s : regression::SCENARIOS) {
        const uint64_t h = regression::render_scenario(s);
        const bool ok = h == s.hash;
        failed += ok ? 0 : 1;
        std::printf("%-18s %016" PRIx64 " %s\n", s.name, h, ok ? "ok" : "DIFFERS");
    }
    std::printf("%d passed, %d failed\n", static_cast<int>(std::size(regression::SCENARIOS)) - failed,
                failed);
    dlclose(library);
    return failed == 0 ? 0 : 1;
}
