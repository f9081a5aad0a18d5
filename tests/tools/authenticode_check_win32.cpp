// The program's own Authenticode check (platform/authenticode_win32.cpp,
// WinVerifyTrust) on the files given, for the Wine tests: one line per file,
// "VERDICT 0xSTATUS". With --store NAME CERT, a certificate (DER) is first
// added to the machine's store of that name: "Root", as an administrator
// would trust a publisher's own root, or "Disallowed", to distrust one
// (with no file, that is all it does).
//
// usage: authenticode_check [--store NAME CERT] [FILE...]
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>

#include "platform/authenticode.h"
#include "platform/win32.h"

namespace {

bool add_to_store(const wchar_t* store, const wchar_t* file) {
  std::string der;
  if (FILE* in = _wfopen(file, L"rb")) {
    char buffer[4096];
    for (size_t count; (count = std::fread(buffer, 1, sizeof buffer, in)) > 0;) der.append(buffer, count);
    std::fclose(in);
  }
  if (der.empty()) return false;
  HCERTSTORE opened = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, store);
  if (!opened) return false;
  const BOOL added = CertAddEncodedCertificateToStore(opened, X509_ASN_ENCODING,
                                                      reinterpret_cast<const BYTE*>(der.data()),
                                                      static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                      nullptr);
  CertCloseStore(opened, 0);
  return added != FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int first = 1;
  if (argc > 3 && std::wstring(argv[1]) == L"--store") {
    if (!add_to_store(argv[2], argv[3])) {
      std::fprintf(stderr, "authenticode_check: cannot add the certificate (error %lu)\n", GetLastError());
      return 1;
    }
    first = 4;
  }
  if (first == 1 && argc < 2) {
    std::fprintf(stderr, "usage: authenticode_check [--store NAME CERT] [FILE...]\n");
    return 2;
  }
  for (int i = first; i < argc; ++i) {
    const quillary::authenticode_answer answer =
        quillary::platform::system_authenticode().check(quillary::from_wide(argv[i]));
    std::printf("%s 0x%08lx\n", quillary::verdict_name(answer.verdict), static_cast<unsigned long>(answer.status));
  }
  return 0;
}
