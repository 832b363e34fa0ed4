// Benchmark of a full rule pass: the whole rule set written into the rule
// file (filled up to its reserve) and read back through a second, read-only
// object, as every change of the rules does. Each figure is reported as a
// ratio to copying the same bytes in the same run.
//   bench_rules [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/BenchClock.h"
#include "rules/RuleFile.h"
#include "rules/RuleSet.h"

using bench::Median;
using bench::Now;

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 51;
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  const std::string path = std::string(tmp) + "vk_bench_rules.rle";
  const std::string mapping = "VkBench.rle." + std::to_string(GetCurrentProcessId());

  // Rules of realistic length until the file is full up to its reserve.
  RuleList rules;
  size_t bytes = 0;
  for (int i = 0; bytes + 120 < RULE_FILE_SIZE - RULE_FILE_HEADER_SIZE - RULE_FILE_RESERVE; ++i) {
    std::string dest =
        "C:\\Users\\someone\\Documents\\Project " + std::to_string(i) + "\\report-" + std::to_string(i * 7) + ".docx";
    auto r = MakeRule(i % 3 ? "*" : "C:\\Program Files\\Office\\winword.exe", dest, TYPE_FILE, KIND_COPY | KIND_OPEN,
                      RULE_MODE_NORMAL);
    bytes += 20 + r->SourceLen + r->DestLen;
    rules.push_back(std::move(r));
  }

  CRuleFile file;
  if (file.Open(path.c_str(), mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false) != 0) {
    fprintf(stderr, "cannot open %s\n", path.c_str());
    return 1;
  }

  std::vector<double> writeT, readT, copyT;
  std::vector<uint8_t> src(RULE_FILE_SIZE), dst(RULE_FILE_SIZE);
  size_t readCount = 0;
  for (int n = 0; n < rounds; ++n) {
    double t0 = Now();
    file.WriteRules(rules);
    double t1 = Now();
    CRuleFile reader;
    reader.Open(path.c_str(), mapping.c_str(), RULE_FILE_SIZE, CMappedFile::kAccessRead, false);
    RuleList back;
    uint32_t count = 0, offset = 0;
    reader.ReadRules(back, &count, &offset);
    reader.CloseAfterWrite();
    double t2 = Now();
    readCount = back.size();

    // The baseline: copying the bytes the pass moves, out of and back into
    // a buffer of the file's size.
    memcpy(src.data(), file.GetReadBase(), file.GetUsedSize());
    double t3 = Now();
    memcpy(dst.data(), src.data(), file.GetUsedSize());
    memcpy(src.data(), dst.data(), file.GetUsedSize());
    double t4 = Now();
    writeT.push_back(t1 - t0);
    readT.push_back(t2 - t1);
    copyT.push_back(std::max(t4 - t3, 1e-9));
  }
  file.CloseAfterWrite();
  DeleteFileA(path.c_str());

  const double w = Median(writeT), r = Median(readT), c = Median(copyT);
  printf("rule pass: %zu rules, %zu bytes, %d rounds (medians)\n", rules.size(), bytes, rounds);
  printf("  %-28s %10.1f us\n", "copy of the same bytes x2", c * 1e6);
  printf("  %-28s %10.1f us  ratio %7.1f\n", "write (WriteRules)", w * 1e6, w / c);
  printf("  %-28s %10.1f us  ratio %7.1f\n", "reload (open+read+close)", r * 1e6, r / c);
  printf("  %-28s %10.1f us  ratio %7.1f\n", "full pass", (w + r) * 1e6, (w + r) / c);
  return readCount == rules.size() ? 0 : 2;
}
