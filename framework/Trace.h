// Debugger trace lines. The file classes report every failure as one trace
// line ("CRuleFile::Open:Not Valid Rule File Header.\n"); the Windows build
// sends them to OutputDebugString, tests can capture them.
#pragma once

#include <string>

using TraceSink = void (*)(const char* text);

// Sends one text to the current sink; does nothing while no sink is set.
void Trace(const char* text);
inline void Trace(const std::string& text) { Trace(text.c_str()); }

// Replaces the sink and returns the previous one.
TraceSink SetTraceSink(TraceSink sink);
