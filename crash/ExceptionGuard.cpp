#include "crash/ExceptionGuard.h"

#include <windows.h>

#include <exception>

#include "crash/ErrorReport.h"

namespace {

// The code under which GCC throws C++ exceptions; a report of one that
// escaped the body carries it.
constexpr DWORD kGccThrow = 0x20474343;

// One active guard, on the stack of the function that runs the body.
struct alignas(16) GuardFrame {
  CONTEXT context;  // a stack overflow's context, kept for its report
  EXCEPTION_RECORD record;
  void* jump[5];
  const char* location;
  GuardFrame* outer;
  bool overflow;
#if defined(__i386__)
  // The thread's chain of frame-based handlers when the guard began: the
  // jump back leaves the dispatcher's registrations behind, so the chain is
  // set back to this.
  DWORD handlerChain;
#endif
};

DWORD g_tls = TLS_OUT_OF_INDEXES;

// The exceptions that end a program when nothing handles them: the
// system's own errors (severity bits 11, customer bit clear: access
// violations, divisions by zero, stack overflows, illegal instructions...),
// misalignment and breakpoints. Informational and success codes (debugger
// output, thread names, RPC status) pass, and so do the codes that language
// runtimes define for their own exceptions (customer bit set: GCC's and
// other compilers' C++, .NET), which those runtimes catch themselves.
bool IsFault(DWORD code) {
  if ((code & 0xE0000000u) == 0xC0000000u) return true;
  return code == EXCEPTION_DATATYPE_MISALIGNMENT || code == EXCEPTION_BREAKPOINT;
}

LONG CALLBACK GuardHandler(EXCEPTION_POINTERS* info) {
  const DWORD lastError = GetLastError();
  auto* frame = static_cast<GuardFrame*>(TlsGetValue(g_tls));
  SetLastError(lastError);
  if (!frame || !info || !info->ExceptionRecord || !IsFault(info->ExceptionRecord->ExceptionCode))
    return EXCEPTION_CONTINUE_SEARCH;
  if (info->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
    // Little stack is left here: keep the facts and write the report from
    // the guard's own frame, far up the stack.
    if (!ErrorReportArmed()) return EXCEPTION_CONTINUE_SEARCH;
    frame->record = *info->ExceptionRecord;
    frame->record.ExceptionRecord = nullptr;
    frame->context = *info->ContextRecord;
    frame->overflow = true;
    __builtin_longjmp(frame->jump, 1);
  }
  if (WriteErrorReport(info, frame->location) != 1) return EXCEPTION_CONTINUE_SEARCH;
  __builtin_longjmp(frame->jump, 1);
}

DWORD GuardIndex() {
  static const DWORD index = [] {
    g_tls = TlsAlloc();
    if (g_tls != TLS_OUT_OF_INDEXES) AddVectoredExceptionHandler(1, GuardHandler);
    return g_tls;
  }();
  return index;
}

// A stack overflow that the guard kept: reported now, with room to spare.
bool ReportOverflow(GuardFrame& frame) {
  EXCEPTION_POINTERS pointers{&frame.record, &frame.context};
  if (WriteErrorReport(&pointers, frame.location) == 1) return false;
  // The report was declined: the exception goes on to the outer handlers
  // and the system, as it would have without the guard.
  RaiseException(frame.record.ExceptionCode, EXCEPTION_NONCONTINUABLE, frame.record.NumberParameters,
                 frame.record.ExceptionInformation);
  return false;
}

// What one body call needs; the C++ exception that escaped it, if any.
struct BodyCall {
  GuardedBody body;
  void* context;
  std::exception_ptr escaped;
};

void CallBody(void* call) {
  auto* c = static_cast<BodyCall*>(call);
  try {
    c->body(c->context);
  } catch (...) {
    c->escaped = std::current_exception();
  }
}

// The jump target lives in this function's frame, which stays below the
// body for as long as it runs.
__attribute__((noinline)) bool RunFrame(const char* location, void* call) {
  const DWORD index = GuardIndex();
  if (index == TLS_OUT_OF_INDEXES) {
    CallBody(call);
    return true;
  }
  GuardFrame frame;
  frame.location = location;
  frame.overflow = false;
  frame.outer = static_cast<GuardFrame*>(TlsGetValue(index));
  GuardFrame* volatile self = &frame;
#if defined(__i386__)
  frame.handlerChain = __readfsdword(0);
#endif
  if (__builtin_setjmp(frame.jump)) {
    GuardFrame& f = *self;
#if defined(__i386__)
    __writefsdword(0, f.handlerChain);
#endif
    TlsSetValue(g_tls, f.outer);
    if (f.overflow) return ReportOverflow(f);
    return false;
  }
  TlsSetValue(index, &frame);
  CallBody(call);
  TlsSetValue(index, frame.outer);
  return true;
}

}  // namespace

bool RunGuarded(const char* location, GuardedBody body, void* context) {
  BodyCall call{body, context, nullptr};
  if (!RunFrame(location, &call)) return false;
  if (call.escaped) {
    // Report the C++ exception that nothing in the body caught, with the
    // context of this point.
    CONTEXT context{};
    RtlCaptureContext(&context);
    EXCEPTION_RECORD record{};
    record.ExceptionCode = kGccThrow;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
#ifdef _WIN64
    record.ExceptionAddress = reinterpret_cast<void*>(context.Rip);
#else
    record.ExceptionAddress = reinterpret_cast<void*>(context.Eip);
#endif
    EXCEPTION_POINTERS pointers{&record, &context};
    if (WriteErrorReport(&pointers, location) == 1) return false;
    std::rethrow_exception(call.escaped);
  }
  return true;
}
