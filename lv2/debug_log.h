// Optional plain-text log for developers. It is on while the log file exists:
// its first number is the level, and messages are appended to it. Only
// instantiate logs; nothing on the audio path does.
#pragma once

#include <cstdint>

#ifndef BRUMMKISTE_LOG_PATH
#define BRUMMKISTE_LOG_PATH "/tmp/brummkiste.log"
#endif

// Reads the level from the file at `path` (0 if it cannot be read, 1 if it
// does not start with a number; saturated to the int32 range) and writes the
// banner at level 0.
void read_log_level(const char* path = BRUMMKISTE_LOG_PATH);

int32_t debug_log_level();

// Appends one formatted line when level <= the current log level.
void debug_log_write(const char* path, int32_t level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
