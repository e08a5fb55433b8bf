#pragma once

namespace devio {

// Log levels.
enum LogLevel : int { LogError = 0, LogWarning = 1, LogInfo = 2, LogDebug = 3, LogVerbose = 4 };

// Logs one message. tag names the module ("DeviceManager"), function the qualified operation
// ("devio::DeviceManager::addBus"); the format may begin with a dash tag ("-api- enter").
// Off unless the settings under SOFTWARE\Norvale\devio switch it on; then costs one flag test.
// False only when the message could not be put into the file buffer.
bool xLog(const char* tag, int level, const char* function, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Drains every buffered file message and flushes the log file, synchronously; safe to call more
// than once.
void xLogFlush();

// Logs a failed internal check (level 0, tag "Untagged", function "devio::xAssert").
void xAssertFailed(const char* file, int line, const char* expression);

}  // namespace devio

#define xAssert(expr) ((expr) ? true : (::devio::xAssertFailed(__FILE__, __LINE__, #expr), false))
