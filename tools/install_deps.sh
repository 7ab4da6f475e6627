#!/usr/bin/env bash
# Installs the build and check tools on a fresh Debian machine when missing.
set -e
need=()
command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v ninja >/dev/null 2>&1 || need+=(ninja-build)
command -v g++ >/dev/null 2>&1 || need+=(g++)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
command -v sox >/dev/null 2>&1 || need+=(sox)
command -v python3 >/dev/null 2>&1 || need+=(python3)
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}"
fi
# Optional: the peer tools of the cross-check tests and clang's fuzzer
# runtime. The tests and the fuzz step skip cleanly without them.
opt=()
command -v ffmpeg >/dev/null 2>&1 || opt+=(ffmpeg)
command -v clang++ >/dev/null 2>&1 || opt+=(clang)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || opt+=(libclang-rt-14-dev)
/usr/bin/python3 -c 'import numpy, soundfile' >/dev/null 2>&1 || opt+=(python3-numpy python3-soundfile)
if [ ${#opt[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" = 0 ] || SUDO=sudo
  for pkg in "${opt[@]}"; do
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "$pkg" >/dev/null 2>&1 ||
      echo "optional package $pkg not installed; the checks that need it will skip"
  done
fi
