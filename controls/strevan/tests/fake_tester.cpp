// A tester that behaves as its test asks, copied under a tester's name
// (KOPREL.EXE, LANVET.EXE): HALVIX_FAKE_<NAME> says "hang" (it never ends)
// or "text:<lines>" ('|' for a line end) for its result file <NAME>.TXT, or
// "repeat:<count>:<lines>" for those lines <count> times over. It leaves its
// process id in <NAME>.PID in its current directory.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name = path;
  name = name.substr(name.find_last_of('\\') + 1);
  name = name.substr(0, name.find('.'));
  for (char& c : name) c = (char)toupper((unsigned char)c);

  if (FILE* f = std::fopen((name + ".PID").c_str(), "wb")) {
    std::fprintf(f, "%lu", ::GetCurrentProcessId());
    std::fclose(f);
  }
  char how[1024] = {};
  ::GetEnvironmentVariableA(("HALVIX_FAKE_" + name).c_str(), how, sizeof how - 1);
  std::string what = how;
  if (what == "hang") ::Sleep(INFINITE);
  if (what == "crash") __builtin_trap();
  size_t times = 1;
  if (what.rfind("repeat:", 0) == 0) {
    times = std::strtoul(what.c_str() + 7, nullptr, 10);
    size_t colon = what.find(':', 7);
    what = "text:" + (colon == std::string::npos ? std::string() : what.substr(colon + 1));
  }
  if (what.rfind("text:", 0) == 0) {
    std::string text = what.substr(5);
    for (char& c : text)
      if (c == '|') c = '\n';
    if (FILE* f = std::fopen((name + ".TXT").c_str(), "wb")) {
      for (size_t i = 0; i < times; ++i) std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
  }
  return 0;
}
