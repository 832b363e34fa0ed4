// Benchmark of one settings-password check (the work every prompt does
// after OK), to choose the iteration count of new stored forms: it should
// take roughly 50-100 ms. The baseline, measured in the same run, is the
// same check at the smallest count a stored form may have, so the ratio
// shows the cost growing with the count and nothing else. The thread's
// processor time is printed beside the elapsed time: on a busy machine it
// is what the check would take on an idle one.
//   bench_password [rounds]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchClock.h"
#include "settings/PasswordCheck.h"
#include "settings/PasswordForm.h"

using bench::Median;
using bench::Now;

namespace {

double ThreadSeconds() {
  FILETIME created, ended, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return static_cast<double>(static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime) * 1e-7;
  };
  return seconds(kernel) + seconds(user);
}

struct Timing {
  double elapsed, cpu;
};

// Seconds of one check of the right text against a form with the count.
Timing CheckSeconds(uint32_t iterations, int rounds) {
  PasswordForm form;
  form.iterations = iterations;
  form.salt.assign(kPasswordSaltBytes, 0x5a);
  form.hash.resize(kPasswordHashBytes);
  DerivePbkdf2Sha256("Correct horse", form.salt.data(), form.salt.size(), iterations, form.hash.data(),
                     form.hash.size());
  std::vector<double> times, cpu;
  for (int i = 0; i < rounds; ++i) {
    std::string stored = FormatStoredPassword(form);
    const double c0 = ThreadSeconds();
    const double t0 = Now();
    if (CheckTypedPassword("Correct horse", stored) != PasswordCheck::kMatch) {
      fprintf(stderr, "the check failed\n");
      exit(1);
    }
    times.push_back(Now() - t0);
    cpu.push_back(ThreadSeconds() - c0);
  }
  return {Median(times), Median(cpu)};
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? atoi(argv[1]) : 15;
  const Timing base = CheckSeconds(kPasswordMinIterations, rounds);
  const Timing check = CheckSeconds(kPasswordIterations, rounds);
  printf("password check, %d rounds (medians; processor time in brackets)\n", rounds);
  printf("  %-24s %9.2f ms (%9.2f ms)\n", ("at " + std::to_string(kPasswordMinIterations) + " iterations").c_str(),
         base.elapsed * 1e3, base.cpu * 1e3);
  printf("  %-24s %9.2f ms (%9.2f ms)  ratio %7.1f\n",
         ("at " + std::to_string(kPasswordIterations) + " iterations").c_str(), check.elapsed * 1e3, check.cpu * 1e3,
         check.elapsed / base.elapsed);
  return 0;
}
