// quillary-service: the reference update service. See server/README.md.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "server/catalogue.h"
#include "server/listener.h"
#include "server/options.h"
#include "server/service_context.h"

using namespace quillary::server;

namespace {

int fail(int code, const std::string& reason) {
  std::fprintf(stderr, "quillary-service: %s\n", reason.c_str());
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  service_options options;
  std::string reason;
  if (!parse_options(args, options, reason)) return fail(2, reason);
  if (options.help) {
    std::fputs(usage_text(), stdout);
    return 0;
  }

  // The signals that stop the service are taken by sigwait on the main
  // thread; every thread started later inherits the mask. Writes to a closed
  // connection must not end the process.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  catalogue_c catalogue;
  const auto warn = [](const std::string& line) { std::fprintf(stderr, "quillary-service: skipped %s\n", line.c_str()); };
  if (!catalogue.index_folder(options.catalogue, warn, reason)) return fail(1, reason);
  if (catalogue.packages().empty()) {
    std::fprintf(stderr, "quillary-service: warning: no usable package in %s\n", options.catalogue.c_str());
  }

  listener_set_c listeners;
  if (!listeners.open(options.listen, reason)) return fail(1, reason);
  for (const auto& authority : listeners.authorities()) {
    std::printf("quillary-service: listening on http://%s/\n", authority.c_str());
  }
  std::fflush(stdout);

  service_context_c context(catalogue, options.fault, options.quiet);
  accept_loop_c loop(listeners, context);
  if (options.fault.kind == fault_kind::refuse) {
    // Nothing listens on the ports any more: connections are refused.
    listeners.close_all();
  } else if (!loop.start(reason)) {
    return fail(1, reason);
  }

  int received = 0;
  sigwait(&stop_signals, &received);
  if (!loop.stop()) {
    // A connection thread did not end in time; it still uses the catalogue,
    // so the process must not run its destructors under it.
    std::fflush(stderr);
    std::_Exit(0);
  }
  return 0;
}
