#pragma once

#include "core/MessageOutput.h"

namespace nuv {

// Message levels as outputs receive them.
enum LogLevel : int { kLogInfo = 0, kLogWarning = 1, kLogError = 2, kLogCritical = 3 };

// Format once (at most 4095 bytes, longer text is cut) and hand the text to every
// registered output in the order of registration. Without outputs the text is dropped.
void LogInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogCritical(const char* format, ...) __attribute__((format(printf, 1, 2)));

// 3 for null; 0 otherwise (a second registration of the same output only warns).
int RegisterMessageOutput(MessageOutput* output);
// 3 when the output is not registered; 0 after removing it (which may destroy it).
int UnregisterMessageOutput(MessageOutput* output);
// Number of registered outputs.
int GetMessageOutputCount();

} // namespace nuv
