// Stand-in for the report program in the crash tests: copied as
// "XCrashReport.exe" beside a copy of the crash probe, it appends its
// command line as one line to "standin_cmdline.txt" in its own directory.
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  dir.erase(dir.find_last_of('\\'));
  FILE* out = fopen((dir + "\\standin_cmdline.txt").c_str(), "ab");
  if (!out) return 1;
  fprintf(out, "%s\n", GetCommandLineA());
  fclose(out);
  return 0;
}
