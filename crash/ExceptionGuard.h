// The crash guard around the program's main entry and its worker thread
// bodies. A fault inside the guarded body (access violation, division by
// zero, stack overflow, any other hardware or system exception) goes to the
// crash handler with the guard's location text. When the handler has
// written its report and started the report program, the body is left at
// once and RunGuarded returns false, so that the caller can do what its
// place requires; otherwise the exception travels on as if there were no
// guard. C++ exceptions are left to the body's own handlers; one that
// escapes the body is reported the same way, or thrown on.
//
// Leaving the body after a fault skips the destructors of its locals: what
// they held stays held, as after any crash.
//
// Guards nest per thread: the innermost one on the faulting thread takes
// the fault. The handler is a vectored one, so it sees a fault before any
// frame-based handler inside the body would.
#pragma once

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
