#include "mixer/run/driver.hpp"

int main(int argc, char** argv) { return varnel::RunMixer(argc, argv); }
