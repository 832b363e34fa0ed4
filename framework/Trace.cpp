#include "framework/Trace.h"

#include <atomic>

namespace {
std::atomic<TraceSink> g_sink{nullptr};
}

void Trace(const char* text) {
  if (TraceSink sink = g_sink.load()) sink(text ? text : "");
}

TraceSink SetTraceSink(TraceSink sink) { return g_sink.exchange(sink); }
