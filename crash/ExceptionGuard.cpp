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

// The last-chance filter that was in place before the guard's: it gets
// every exception that the guard does not take.
LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;

GuardFrame* ActiveFrame() {
  if (g_tls == TLS_OUT_OF_INDEXES) return nullptr;
  const DWORD lastError = GetLastError();
  auto* frame = static_cast<GuardFrame*>(TlsGetValue(g_tls));
  SetLastError(lastError);
  return frame;
}

// Reports the exception with the active guard's location and leaves the
// guarded body; returns only when the report was declined.
void ReportAndLeave(GuardFrame* frame, EXCEPTION_POINTERS* info) {
  if (WriteErrorReport(info, frame->location) == 1) __builtin_longjmp(frame->jump, 1);
}

// Called by the system only for an exception that no frame of the thread
// handled, so whatever arrives here with a guard active is the guard's,
// whatever its code.
LONG WINAPI GuardFilter(EXCEPTION_POINTERS* info) {
  GuardFrame* frame = ActiveFrame();
  if (frame && info && info->ExceptionRecord && info->ContextRecord) ReportAndLeave(frame, info);
  return g_previousFilter ? g_previousFilter(info) : EXCEPTION_CONTINUE_SEARCH;
}

// A stack overflow leaves no stack for the system to look for handlers and
// then call the last-chance filter: the guard takes it as it is raised,
// keeps the facts and writes the report from its own frame, far up the
// stack.
LONG CALLBACK OverflowHandler(EXCEPTION_POINTERS* info) {
  if (!info || !info->ExceptionRecord || info->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW)
    return EXCEPTION_CONTINUE_SEARCH;
  GuardFrame* frame = ActiveFrame();
  if (!frame || !ErrorReportArmed()) return EXCEPTION_CONTINUE_SEARCH;
  frame->record = *info->ExceptionRecord;
  frame->record.ExceptionRecord = nullptr;
  frame->context = *info->ContextRecord;
  frame->overflow = true;
  __builtin_longjmp(frame->jump, 1);
}

DWORD GuardIndex() {
  static const DWORD index = [] {
    g_tls = TlsAlloc();
    if (g_tls != TLS_OUT_OF_INDEXES) {
      g_previousFilter = SetUnhandledExceptionFilter(GuardFilter);
      AddVectoredExceptionHandler(1, OverflowHandler);
    }
    return g_tls;
  }();
  return index;
}

// What reaches a message boundary escaped the window procedure's handling:
// a fault (a C++ exception goes on to the framework's own catch).
LONG AtBoundary(EXCEPTION_POINTERS* info) {
  if (!info || !info->ExceptionRecord || !info->ContextRecord) return EXCEPTION_CONTINUE_SEARCH;
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  if (code == kGccThrow || code == EXCEPTION_STACK_OVERFLOW) return EXCEPTION_CONTINUE_SEARCH;
  if (GuardFrame* frame = ActiveFrame()) ReportAndLeave(frame, info);
  return EXCEPTION_CONTINUE_SEARCH;
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

// The frame-based handler of RunAtMessageBoundary. On x86_64 it is the
// filter of a scope that the function's unwind information names (the
// system's C scope handler calls it); on i686 a handler registered in the
// thread's handler chain.
#if defined(__x86_64__)
extern "C" LONG VarnokelBoundaryFilter(EXCEPTION_POINTERS* info, void*) { return AtBoundary(info); }

__attribute__((noinline)) LRESULT RunAtMessageBoundary(BoundaryBody body, void* context) {
  volatile LRESULT result = 0;
  __asm__ __volatile__(
      ".l_vk_boundary_begin:\n"
      "\t.seh_handler __C_specific_handler, @except\n"
      "\t.seh_handlerdata\n"
      "\t.long 1\n"
      "\t.rva .l_vk_boundary_begin, .l_vk_boundary_end, VarnokelBoundaryFilter, .l_vk_boundary_end\n"
      "\t.text\n" ::
          : "memory");
  result = body(context);
  __asm__ __volatile__(
      "nop\n"
      ".l_vk_boundary_end:\n"
      "nop\n" ::
          : "memory");
  return result;
}
#elif defined(__i386__)
namespace {

struct HandlerRegistration {
  HandlerRegistration* prev;
  EXCEPTION_DISPOSITION(__cdecl* handler)(EXCEPTION_RECORD*, void*, CONTEXT*, void*);
};

EXCEPTION_DISPOSITION __cdecl BoundaryHandler(EXCEPTION_RECORD* record, void*, CONTEXT* context, void*) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
  EXCEPTION_POINTERS info{record, context};
  AtBoundary(&info);
  return ExceptionContinueSearch;
}

}  // namespace

__attribute__((noinline)) LRESULT RunAtMessageBoundary(BoundaryBody body, void* context) {
  HandlerRegistration registration{reinterpret_cast<HandlerRegistration*>(__readfsdword(0)), BoundaryHandler};
  __writefsdword(0, static_cast<DWORD>(reinterpret_cast<uintptr_t>(&registration)));
  const LRESULT result = body(context);
  __writefsdword(0, static_cast<DWORD>(reinterpret_cast<uintptr_t>(registration.prev)));
  return result;
}
#else
LRESULT RunAtMessageBoundary(BoundaryBody body, void* context) { return body(context); }
#endif
