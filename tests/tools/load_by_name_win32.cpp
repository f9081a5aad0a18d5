// Loads a DLL by its name with the default search, as a program that does
// not restrict it would: load_by_name NAME. Exits 0 when it loaded.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  return LoadLibraryW(argv[1]) ? 0 : 1;
}
