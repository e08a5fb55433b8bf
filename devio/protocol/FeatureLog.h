#pragma once

#include <atomic>

namespace devio {

// Feature classes log under their operation's full name, "devio::Class::Operation"; the tag is
// the class name taken from it.
void featureLog(const char* operation, int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

// The operation's name without the namespace ("Class::Operation"), as log texts quote it.
const char* featureLogName(const char* operation);

// The force-inclusion log line of a feature class ("Devio: Feature1B04 included"), once per
// process: logged is the class's own flag.
void logFeatureIncluded(std::atomic<bool>& logged, const char* tag, const char* operation, const char* text);

}  // namespace devio
