#include "lv2/debug_log.h"

#include <atomic>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Shared by every instance in the process; the last instantiate wins.
static std::atomic<int32_t> log_level{0};

int32_t debug_log_level()
{
    return log_level.load(std::memory_order_relaxed);
}

// Opens `path` without following a symbolic link and only if it is a regular
// file: a fixed name in /tmp could otherwise be pointed at any file.
static FILE* open_regular(const char* path, int flags, const char* mode)
{
    const int fd = open(path, flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    FILE* file = fdopen(fd, mode);
    if (!file) close(fd);
    return file;
}

// Parses a leading decimal integer as "%d" would (leading white space, an
// optional sign), saturating instead of overflowing. False if there is none.
static bool parse_level(FILE* file, int32_t* level)
{
    int c;
    do c = fgetc(file);
    while (c != EOF && std::isspace(c));
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = fgetc(file);
    }
    if (c == EOF || !std::isdigit(c)) return false;
    int64_t value = 0;
    for (; c != EOF && std::isdigit(c); c = fgetc(file)) {
        value = value * 10 + (c - '0');
        if (value > INT64_C(2147483648)) value = INT64_C(2147483648);
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    *level = static_cast<int32_t>(value);
    return true;
}

void read_log_level(const char* path)
{
    FILE* file = open_regular(path, O_RDONLY, "r");
    if (!file) {
        log_level.store(0, std::memory_order_relaxed);
        return;
    }
    int32_t level = 1;
    if (!parse_level(file, &level)) level = 1;
    fclose(file);
    log_level.store(level, std::memory_order_relaxed);
    debug_log_write(path, 0, "### log is active now ### ");
}

void debug_log_write(const char* path, int32_t level, const char* format, ...)
{
    if (level > debug_log_level()) return;
    FILE* file = open_regular(path, O_RDWR | O_APPEND | O_CREAT, "a+");
    if (!file) return;
    va_list args;
    va_start(args, format);
    vfprintf(file, format, args);
    va_end(args);
    fputc('\n', file);
    fclose(file);
}
