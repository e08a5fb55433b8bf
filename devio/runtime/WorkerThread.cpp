#include "devio/runtime/WorkerThread.h"

namespace devio {

namespace {
thread_local int tlsMarks = 0;
}

WorkerThread::WorkerThread() { ++tlsMarks; }

WorkerThread::~WorkerThread() { --tlsMarks; }

bool WorkerThread::current() { return tlsMarks > 0; }

}  // namespace devio
