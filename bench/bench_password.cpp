// Benchmark of one settings-password check (the work every prompt does
// after OK), to choose the iteration count of new stored forms: it should
// take roughly 50-100 ms. The baseline, measured in the same run, is the
// same check at the smallest count a stored form may have, so the ratio
// shows the cost growing with the count and nothing else.
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

// Seconds of one check of the right text against a form with the count.
double CheckSeconds(uint32_t iterations, int rounds) {
  PasswordForm form;
  form.iterations = iterations;
  form.salt.assign(kPasswordSaltBytes, 0x5a);
  form.hash.resize(kPasswordHashBytes);
  DerivePbkdf2Sha256("Correct horse", form.salt.data(), form.salt.size(), iterations, form.hash.data(),
                     form.hash.size());
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    std::string stored = FormatStoredPassword(form);
    const double t0 = Now();
    if (CheckTypedPassword("Correct horse", stored) != PasswordCheck::kMatch) {
      fprintf(stderr, "the check failed\n");
      exit(1);
    }
    times.push_back(Now() - t0);
  }
  return Median(times);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? atoi(argv[1]) : 15;
  const double base = CheckSeconds(kPasswordMinIterations, rounds);
  const double check = CheckSeconds(kPasswordIterations, rounds);
  printf("password check, %d rounds (medians)\n", rounds);
  printf("  %-28s %10.2f ms\n", ("at " + std::to_string(kPasswordMinIterations) + " iterations").c_str(), base * 1e3);
  printf("  %-28s %10.2f ms  ratio %7.1f\n", ("at " + std::to_string(kPasswordIterations) + " iterations").c_str(),
         check * 1e3, check / base);
  return 0;
}
