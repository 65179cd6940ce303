// A stand-in driver library for Glavon's tests: InstallNTDriver records each
// call as "service|argument" on a line of "dastrel_calls.txt" in the
// library's own folder and fails for the service named by the environment
// variable DASTREL_STUB_FAIL.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {
HMODULE g_self = nullptr;
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_self = self;
  return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI InstallNTDriver(const char* service, const char* pathOrRemove) {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(g_self, path, MAX_PATH);
  std::string log(path);
  log = log.substr(0, log.rfind('\\') + 1) + "dastrel_calls.txt";
  if (FILE* f = std::fopen(log.c_str(), "ab")) {
    std::fprintf(f, "%s|%s\n", service ? service : "(null)", pathOrRemove ? pathOrRemove : "(null)");
    std::fclose(f);
  }
  char fail[64] = {};
  ::GetEnvironmentVariableA("DASTREL_STUB_FAIL", fail, sizeof(fail));
  return !(service && std::strcmp(fail, service) == 0);
}
