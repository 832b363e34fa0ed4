// The program's main entry under the crash guard: everything from the
// framework's initialisation to the application's exit runs inside it.
#pragma once

using EntryBody = int (*)(void* context);

// Runs entry(context) and returns its exit code; after a reported crash it
// returns 0 at once and the rest of the entry (its termination step) is
// skipped.
int RunGuardedEntry(EntryBody entry, void* context);
