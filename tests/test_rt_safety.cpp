// Real-time safety of the shipped libraries. This program replaces malloc and
// friends, mutex locks and file operations with versions that count calls
// made while run executes, then drives the plugins (loaded with dlopen, as a
// host does) through every mode and every control change.
#include <gtest/gtest.h>
#include <lv2/core/lv2.h>

#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <string>
#include <unistd.h>
#include <algorithm>
#include <vector>

#include "control/control_table.h"
#ifdef CLAP_PLUGIN
#include "clap_host.h"
#endif
#ifdef VST3_PLUGIN
#include "vst3_host.h"
#endif

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {

thread_local bool in_run = false;
std::atomic<int> violations{0};
std::atomic<const char*> last_violation{nullptr};
// The plugin framework's CLAP process polls its window's event queue with a
// try-lock, which never waits; counted apart.
thread_local bool trylock_allowed = false;
std::atomic<int> trylocks{0};

void check(const char* what)
{
    if (!in_run) return;
    if (trylock_allowed && !std::strcmp(what, "pthread_mutex_trylock")) {
        trylocks.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    violations.fetch_add(1, std::memory_order_relaxed);
    last_violation.store(what, std::memory_order_relaxed);
}

template <class F>
F real(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

void* malloc(size_t n)
{
    check("malloc");
    return __libc_malloc(n);
}
void* calloc(size_t n, size_t size)
{
    check("calloc");
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n)
{
    check("realloc");
    return __libc_realloc(p, n);
}
void* aligned_alloc(size_t alignment, size_t n)
{
    check("aligned_alloc");
    return __libc_memalign(alignment, n);
}
int posix_memalign(void** out, size_t alignment, size_t n)
{
    check("posix_memalign");
    *out = __libc_memalign(alignment, n);
    return *out ? 0 : ENOMEM;
}
void free(void* p)
{
    check("free");
    __libc_free(p);
}

int pthread_mutex_lock(pthread_mutex_t* m)
{
    check("pthread_mutex_lock");
    static auto fn = real<int (*)(pthread_mutex_t*)>("pthread_mutex_lock");
    return fn(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m)
{
    check("pthread_mutex_trylock");
    static auto fn = real<int (*)(pthread_mutex_t*)>("pthread_mutex_trylock");
    return fn(m);
}

// open and open64 take a mode only when they create a file.
static int forward_open(const char* name, const char* path, int flags, va_list args)
{
    check(name);
    const mode_t mode = (flags & O_CREAT) ? static_cast<mode_t>(va_arg(args, int)) : 0;
    auto fn = real<int (*)(const char*, int, ...)>(name);
    return fn(path, flags, mode);
}
int open(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int fd = forward_open("open", path, flags, args);
    va_end(args);
    return fd;
}
int open64(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int fd = forward_open("open64", path, flags, args);
    va_end(args);
    return fd;
}
FILE* fopen(const char* path, const char* mode)
{
    check("fopen");
    static auto fn = real<FILE* (*)(const char*, const char*)>("fopen");
    return fn(path, mode);
}
FILE* fdopen(int fd, const char* mode)
{
    check("fdopen");
    static auto fn = real<FILE* (*)(int, const char*)>("fdopen");
    return fn(fd, mode);
}
// Buffered output too: the C library writes through its own internal call,
// which the write above never sees.
int vfprintf(FILE* f, const char* format, va_list args)
{
    check("vfprintf");
    static auto fn = real<int (*)(FILE*, const char*, va_list)>("vfprintf");
    return fn(f, format, args);
}
int fprintf(FILE* f, const char* format, ...)
{
    check("fprintf");
    static auto fn = real<int (*)(FILE*, const char*, va_list)>("vfprintf");
    va_list args;
    va_start(args, format);
    const int n = fn(f, format, args);
    va_end(args);
    return n;
}
int fputs(const char* text, FILE* f)
{
    check("fputs");
    static auto fn = real<int (*)(const char*, FILE*)>("fputs");
    return fn(text, f);
}
size_t fwrite(const void* data, size_t size, size_t count, FILE* f)
{
    check("fwrite");
    static auto fn = real<size_t (*)(const void*, size_t, size_t, FILE*)>("fwrite");
    return fn(data, size, count, f);
}
ssize_t write(int fd, const void* buf, size_t n)
{
    check("write");
    static auto fn = real<ssize_t (*)(int, const void*, size_t)>("write");
    return fn(fd, buf, n);
}
ssize_t read(int fd, void* buf, size_t n)
{
    check("read");
    static auto fn = real<ssize_t (*)(int, void*, size_t)>("read");
    return fn(fd, buf, n);
}
int close(int fd)
{
    check("close");
    static auto fn = real<int (*)(int)>("close");
    return fn(fd);
}

}  // extern "C"

namespace {

struct Plugin {
    void* library = dlopen(PLUGIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    const LV2_Descriptor* desc = nullptr;
    Plugin()
    {
        if (!library) return;
        auto entry = reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(
            dlsym(library, "lv2_descriptor"));
        if (entry) desc = entry(0);
    }
    ~Plugin()
    {
        if (library) dlclose(library);
    }
};

// Two values inside each control's declared range, so every one can move:
// its default and a point 70 % of the way up the range (or the minimum where
// that is the default).
float control_value(int port, int which)
{
    const PortInfo& info = PORT_TABLE[port];
    if (which == 0) return info.default_value;
    const float v = info.minimum + 0.7f * (info.maximum - info.minimum);
    return v == info.default_value ? info.minimum : v;
}

void rt_run(const LV2_Descriptor* desc, LV2_Handle h, uint32_t n)
{
    in_run = true;
    desc->run(h, n);
    in_run = false;
}

}  // namespace

TEST(RtSafety, TheDetectorSeesCallsFromTheLoadedLibrary)
{
    Plugin plugin;
    ASSERT_NE(plugin.desc, nullptr) << dlerror();
    violations = 0;
    in_run = true;  // instantiate allocates: it must be seen
    LV2_Handle h = plugin.desc->instantiate(plugin.desc, 48000.0, "", nullptr);
    in_run = false;
    EXPECT_GT(violations.load(), 0);
    plugin.desc->cleanup(h);
}

TEST(RtSafety, RunNeverAllocatesLocksOrTouchesFiles)
{
    Plugin plugin;
    ASSERT_NE(plugin.desc, nullptr) << dlerror();
    const LV2_Descriptor* desc = plugin.desc;
    LV2_Handle h = desc->instantiate(desc, 48000.0, "", nullptr);
    ASSERT_NE(h, nullptr);
    float controls[PORT_COUNT];
    std::vector<float> in(4096), l(4096), r(4096);
    for (uint32_t p = 0; p < PORT_COUNT; ++p) {
        controls[p] = control_value(p, 0);
        desc->connect_port(h, p, &controls[p]);
    }
    desc->connect_port(h, PORT_IN, in.data());
    desc->connect_port(h, PORT_OUT_L, l.data());
    desc->connect_port(h, PORT_OUT_R, r.data());
    desc->activate(h);
    for (size_t i = 0; i < in.size(); ++i) in[i] = (i % 97) < 3 ? 0.5f : 0.0f;

    violations = 0;
    const uint32_t counts[] = {0, 1, 15, 16, 17, 256, 4096};
    for (int mode = -1; mode <= 5; ++mode) {
        controls[PORT_MODE_SEL] = static_cast<float>(mode);
        for (uint32_t n : counts) rt_run(desc, h, n);
        for (int p = PORT_DRY_DB; p < PORT_COUNT; ++p) {
            if (p == PORT_MODE_SEL) continue;
            controls[p] = control_value(p, 1);
            rt_run(desc, h, 256);
            controls[p] = control_value(p, 0);
            rt_run(desc, h, 64);
        }
        // Every expensive update at once, and the ramps moving.
        controls[PORT_SIZE_MIN] = 2.0f;
        controls[PORT_SIZE_MAX] = 180.0f;
        controls[PORT_JITTER] = 90.0f;
        controls[PORT_SHAPE] = -80.0f;
        controls[PORT_DECAY_MS] = 200000.0f;
        for (int b = 0; b < 200; ++b) rt_run(desc, h, 512);
        for (int p = PORT_DRY_DB; p < PORT_COUNT; ++p) controls[p] = control_value(p, 0);
        desc->deactivate(h);
        desc->activate(h);
    }
    // Silence long enough for a short tail to die and the engine to idle
    // (tests/test_idle.cpp shows when), changes while idle, then sound.
    controls[PORT_DECAY_MS] = 100.0f;
    for (int b = 0; b < 20; ++b) rt_run(desc, h, 512);
    std::vector<float> pulses(in);
    std::fill(in.begin(), in.end(), 0.0f);
    for (int b = 0; b < 48000 * 8 / 512; ++b) rt_run(desc, h, 512);
    const int idle_changes[] = {PORT_SIZE_MIN, PORT_PITCH_0, PORT_XFADE_MS, PORT_HP_LOW, PORT_MODE_SEL};
    for (int p : idle_changes) {
        controls[p] = control_value(p, 1);
        for (int b = 0; b < 48000 * 4 / 4096; ++b) rt_run(desc, h, 4096);
    }
    std::copy(pulses.begin(), pulses.end(), in.begin());
    rt_run(desc, h, 4096);
    EXPECT_EQ(violations.load(), 0) << "last: " << (last_violation.load() ? last_violation.load() : "");
    desc->cleanup(h);
}

#ifdef CLAP_PLUGIN
// The same through the CLAP entry: process, with parameter events in every
// block (and the gesture and modulation events hosts send around them),
// allocates nothing, locks nothing and touches no file.
TEST(RtSafety, ClapProcessNeverAllocatesLocksOrTouchesFiles)
{
    clap_test::Library library(CLAP_PLUGIN);
    clap_test::Instance inst(library, 1);
    ASSERT_NE(inst.plugin, nullptr) << dlerror();
    ASSERT_TRUE(inst.start(48000.0, 4096));
    std::vector<float> in(4096), l(4096), r(4096);
    for (size_t i = 0; i < in.size(); ++i) in[i] = (i % 97) < 3 ? 0.5f : 0.0f;
    float* ins[1] = {in.data()};
    float* outs[2] = {l.data(), r.data()};
    // Built before the run: the event lists are the host's memory.
    std::vector<clap_test::ParamEvents> blocks;
    for (int mode = -1; mode <= 5; ++mode) {
        blocks.emplace_back();
        blocks.back().set(PORT_MODE_SEL - PORT_DRY_DB, mode);
        for (int p = PORT_DRY_DB; p < PORT_COUNT; ++p) {
            if (p == PORT_MODE_SEL) continue;
            const clap_id id = static_cast<clap_id>(p - PORT_DRY_DB);
            blocks.emplace_back();
            blocks.back().gesture(id, true);
            blocks.back().set(id, control_value(p, 1));
            blocks.back().modulation(id, 0.5);
            blocks.emplace_back();
            blocks.back().set(id, control_value(p, 0));
            blocks.back().gesture(id, false);
        }
    }
    for (clap_test::ParamEvents& e : blocks) e.list.ctx = &e;  // moved while growing
    violations = 0;
    trylocks = 0;
    const uint32_t counts[] = {1, 15, 16, 17, 256, 4096};
    size_t k = 0;
    for (const clap_test::ParamEvents& e : blocks) {
        in_run = true;
        trylock_allowed = true;
        inst.process(ins, outs, counts[k++ % 6], &e);
        trylock_allowed = false;
        in_run = false;
    }
    inst.stop();
    RecordProperty("framework_trylocks", trylocks.load());
    EXPECT_EQ(violations.load(), 0) << "last: " << (last_violation.load() ? last_violation.load() : "");
}
#endif

#ifdef VST3_PLUGIN
// The same through the VST3 entry: process, with parameter changes in every
// block (valid, unknown, not a number) and without an output-parameter
// list, allocates nothing, locks nothing and touches no file.
TEST(RtSafety, Vst3ProcessNeverAllocatesLocksOrTouchesFiles)
{
    vst3_test::Library library(VST3_PLUGIN);
    vst3_test::Instance inst(library, 1);
    ASSERT_NE(inst.processor, nullptr) << dlerror();
    ASSERT_TRUE(inst.start(48000.0, 4096));
    std::vector<float> in(4096), l(4096), r(4096);
    for (size_t i = 0; i < in.size(); ++i) in[i] = (i % 97) < 3 ? 0.5f : 0.0f;
    float* ins[1] = {in.data()};
    float* outs[2] = {l.data(), r.data()};
    std::vector<vst3_test::Changes> blocks;
    for (uint32_t id = 0; id < CONTROL_COUNT + 2; ++id)
        for (double v : {1.0, 0.0, 0.5, static_cast<double>(NAN)}) {
            blocks.emplace_back();
            blocks.back().set(id, v);
            blocks.back().set(id, v, 7);
        }
    // Values set on the controller between blocks reach the framework's copy.
    v3_cpp_obj(inst.controller)->set_parameter_normalised(inst.controller, 0, 0.3);
    violations = 0;
    const int32_t counts[] = {0, 1, 15, 16, 17, 256, 4096};
    size_t k = 0;
    for (vst3_test::Changes& c : blocks) {
        in_run = true;
        inst.process(ins, outs, counts[k++ % 7], &c, nullptr);
        in_run = false;
    }
    EXPECT_EQ(violations.load(), 0) << "last: " << (last_violation.load() ? last_violation.load() : "");
}
#endif
