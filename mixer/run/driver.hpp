// The mixer's entry procedure: runs the phases of a mix in their fixed order
// and returns the process exit status.
#pragma once

namespace varnel {

int RunMixer(int argc, char** argv);

}  // namespace varnel
