#include "mixer/run/driver.hpp"

#include <cstdio>

namespace varnel {

int RunMixer(int, char**) {
    std::puts("Varnel version 1.164 (w20e)");
    return 0;
}

}  // namespace varnel
