#pragma once
// The lumigrid program's start-up. This header holds no Qt type, so that src/app/'s main() stays
// outside the one folder that knows Qt.

namespace lumigrid {

// Reads the command line (--help, --version and a mistyped option end the program here, before
// any window exists), then creates the window set, shows the chart window and runs the event
// loop until it closes. Returns the exit status.
int lumigrid_main(int argc, char** argv);

}  // namespace lumigrid
