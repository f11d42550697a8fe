// pitsow-host: runs one player library in a process of its own for the
// referee, which starts it with the channel's descriptor already open.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "exit_status.h"
#include "host_core.h"

#if defined(__SANITIZE_ADDRESS__)
// The host reports a player's fatal signals itself, and a player's leaks
// are none of its business.
extern "C" __attribute__((used)) const char* __asan_default_options() {
  return "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0:"
         "allow_user_segv_handler=1:detect_leaks=0";
}
#endif

int main(int argc, char** argv) {
  HostOptions options;
  CLI::App app{"Runs one player library for the referee, which starts it."};
  app.add_option("--channel-fd", options.channel_fd, "the channel's inherited descriptor")
      ->required();
  app.add_option("--library", options.library, "the player library to load")->required();
  app.add_option("--player", options.player, "the player number")->required();
  app.add_option("--parent", options.parent, "the client's process id; the host ends without it");
  app.add_option("--memory-mb", options.memory_mb, "address-space limit in MiB (0: none)");
  app.add_option("--sandbox", options.sandbox, "confine the player to this folder of its own");
  app.add_option("--pids", options.pids, "sandboxed: threads and processes (RLIMIT_NPROC)");
  app.add_option("--files", options.files, "sandboxed: open descriptors (RLIMIT_NOFILE)");
  app.add_option("--output-mb", options.output_mb, "sandboxed: largest file written, MiB");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "pitsow-host: %s\n", e.what());
    return kExitUsage;
  }
  // RunHost has written its words into the channel for the referee; the
  // status is all that is left to give.
  if (const auto error = RunHost(options)) return error->status;
  return kExitHostQuit;
}
