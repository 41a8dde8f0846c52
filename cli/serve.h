// vxrhost serve: the host as a long-running HTTP server. It serves the
// catalog, the tables' rows (streamed as the modules hand them out), the
// node-status table, the heartbeat (on a schedule and on demand), health and
// Prometheus metrics, and the web console's static files.
#pragma once

#include <string>

#include "commands.h"

namespace vxrhost::cli {

struct ServeOptions {
  std::string listen = "127.0.0.1:8470";  // ADDR:PORT; port 0 picks a free one
  int heartbeatInterval = 60;             // seconds; 0: no scheduled heartbeat
  int workers = 0;                        // 0: the number of cores
  std::string tokenFile;                  // bearer token; needed off loopback
  std::string accessLog;                  // default: stderr
  std::string consoleDir;                 // default: beside vxrhost, or the source tree
  bool manualHeartbeat = true;            // POST /api/v1/heartbeat allowed
  int gracePeriod = 10;                   // seconds in-flight work gets on SIGTERM
};

// Runs until SIGTERM or SIGINT; prints "listening on http://ADDR:PORT" on
// stdout first. Start-up failures are Failures (kExitServer for the server's
// own: address in use, non-loopback address without a token, token file).
int commandServe(const Options& options, const ServeOptions& serve);

}  // namespace vxrhost::cli
