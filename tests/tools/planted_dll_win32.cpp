// A DLL planted beside a program under a system DLL's name, for the test of
// where the program loads its DLLs from (tests/system/dll_search_test.sh).
// When a process loads it, it writes its own path into the file named by
// QUILLARY_TEST_PLANTED_MARK; it exports nothing else.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  const char* mark = std::getenv("QUILLARY_TEST_PLANTED_MARK");
  if (!mark) return TRUE;
  char path[MAX_PATH] = {};
  GetModuleFileNameA(instance, path, MAX_PATH);
  if (FILE* out = std::fopen(mark, "a")) {
    std::fprintf(out, "%s\n", path);
    std::fclose(out);
  }
  return TRUE;
}
