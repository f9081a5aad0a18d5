// A stand-in for the driver package installers, which are not ours to ship
// or run here: Microsoft's DPInst64.exe / DPInst32.exe and Windows' own
// pnputil.exe. It appends its own name and command line to dpinst-calls.txt
// in its folder, one line per start, so tests can check how the program
// started it. It exits with 0, or with the number in NAME.exit beside it
// (pnputil.exe.exit), so tests can have it answer as pnputil does.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int exit_code_from(const std::wstring& file) {
  FILE* in = _wfopen(file.c_str(), L"rb");
  if (!in) return 0;
  char text[32] = {};
  std::fread(text, 1, sizeof text - 1, in);
  std::fclose(in);
  return std::atoi(text);
}

}  // namespace

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
  return exit_code_from(folder + L"\\" + name + L".exit");
}
