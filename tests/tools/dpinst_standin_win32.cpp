// A stand-in for Microsoft's driver package installer (DPInst64.exe /
// DPInst32.exe), which is not ours to ship or run here. It appends its own
// name and command line to dpinst-calls.txt in its folder, one line per
// start, and exits with 0, so tests can check how the program started it.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  const std::wstring name = folder.substr(folder.rfind(L'\\') + 1);
  folder.resize(folder.rfind(L'\\'));
  const std::wstring line = name + L"|" + GetCommandLineW() + L"\n";
  char utf8[4096];
  const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
  if (FILE* log = _wfopen((folder + L"\\dpinst-calls.txt").c_str(), L"ab")) {
    if (size > 1) std::fwrite(utf8, 1, size - 1, log);
    std::fclose(log);
  }
  return 0;
}
