// The crash guard around the program's main entry and its worker thread
// bodies. An exception that nothing inside the guarded body handles (an
// access violation, a division by zero, a stack overflow, any other
// exception of whatever kind) goes to the crash handler with the guard's
// location text. When the handler has written its report and started the
// report program, the body is left at once and RunGuarded returns false, so
// that the caller can do what its place requires; otherwise the exception
// travels on as if there were no guard. C++ exceptions are left to the
// body's own handlers; one that escapes the body is reported the same way,
// or thrown on.
//
// A fault that code inside the body handles itself is none of the guard's
// business: system calls (IsBadReadPtr), shell extensions loaded into the
// open-file dialog, RPC and COM raise and catch their own faults all the
// time. So the guard does not look at faults as they are raised; it is the
// process's last-chance filter, which the system calls only for an
// exception that every frame declined, and it asks the thread which guard
// is active there. Threads without an active guard, and exceptions that the
// handler declines, go on to the filter that was in place before. Two more
// places see a fault first: the window procedures' dispatch
// (RunAtMessageBoundary, below), and a stack overflow, which leaves no
// stack for the search and is taken as it is raised.
//
// Leaving the body after a fault skips the destructors of its locals: what
// they held stays held, as after any crash.
//
// Guards nest per thread: the innermost one on the faulting thread takes
// the fault.
#pragma once

#include <windows.h>

#include <type_traits>

using GuardedBody = void (*)(void* context);

// Runs body(context); true when it ran to its end, false when a fault in it
// was reported.
bool RunGuarded(const char* location, GuardedBody body, void* context);

template <typename F>
bool RunGuarded(const char* location, F&& body) {
  using Body = std::remove_reference_t<F>;
  return RunGuarded(
      location, [](void* context) { (*static_cast<Body*>(context))(); }, static_cast<void*>(&body));
}

// Runs one window procedure's handling of a message (the framework's
// dispatch). A fault that escapes it, which nothing in the handler took, is
// reported here with the thread's active guard, and the guard's body is
// left as above. The system itself swallows faults in some of the calls it
// makes into a program (a window's creation, a message sent from another
// thread, hooks): without this they would never reach the guard. A C++
// exception passes on to the dispatch's own handlers.
using BoundaryBody = LRESULT (*)(void* context);
LRESULT RunAtMessageBoundary(BoundaryBody body, void* context);
