#include "devio/runtime/LogFile.h"

#include "devio/runtime/Host.h"
#include "devio/runtime/LogLine.h"

namespace devio {

std::shared_ptr<LogFile> LogFile::open(const std::string& path, unsigned processId, std::string module,
                                       TimeBase timeBase) {
  std::FILE* file = Host::openForAppend(path);
  if (!file) return nullptr;
  return std::shared_ptr<LogFile>(new LogFile(file, processId, std::move(module), timeBase));
}

LogFile::LogFile(std::FILE* file, unsigned processId, std::string module, TimeBase timeBase)
    : file_(file), processId_(processId), module_(std::move(module)), timeBase_(timeBase) {}

LogFile::~LogFile() { std::fclose(file_); }

void LogFile::write(const LogRecord& record) {
  const std::int64_t fileTime = (record.timestamp + timeBase_.counterOffset) * 10;
  const LogLine::FileColumns columns{double(fileTime - timeBase_.processCreation) / 1e7, fileTime, processId_,
                                     record.threadId, module_.c_str(), record.level, record.tag};
  const LogLine line = LogLine::parse(record.function, record.message);
  LogLine::Buffer buffer;
  std::lock_guard lock(mutex_);
  line.fileLines(buffer, columns, [&](std::string_view text) { std::fwrite(text.data(), 1, text.size(), file_); });
}

void LogFile::flush() {
  std::lock_guard lock(mutex_);
  std::fflush(file_);
}

}  // namespace devio
