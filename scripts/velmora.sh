#!/usr/bin/env bash
# Set-up, build, start and test Velmora on a Debian 12 machine (as root, or
# with sudo available).  Idempotent: packages already present are not
# reinstalled and builds are incremental.
#
#   scripts/velmora.sh start   install, build (Release) and start Velmora in
#                              the folder of the bundled example data
#   scripts/velmora.sh test    install, build Release and sanitizer builds,
#                              run every test and the example batch scripts
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libcairo2-dev libeigen3-dev libopenblas-serial-dev
          libboost-math-dev nlohmann-json3-dev libgtest-dev libbenchmark-dev
          fonts-dejavu-core libgl-dev libqt6opengl6-dev libgl1-mesa-dri)

install_packages() {
  local missing=()
  for p in "${packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

build() {  # build DIR [cmake options...]
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

case "${1:-}" in
  start)
    install_packages
    build "$root/build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF
    cd "$root/examples"
    exec "$root/build/src/app/velmora"
    ;;
  test)
    install_packages
    export QT_QPA_PLATFORM=offscreen
    build "$root/build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=ON -DVELMORA_BENCH=ON
    (cd "$root/build" && ctest --output-on-failure -j "$jobs")
    export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp"
    build "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON \
      -DVELMORA_TESTS=ON -DVELMORA_BENCH=OFF
    (cd "$root/build-asan" && ctest --output-on-failure -j "$jobs")
    for script in "$root"/examples/*.velmora; do
      [ -e "$script" ] || continue
      echo "Batch script $(basename "$script") under the sanitizers"
      "$root/build-asan/src/app/velmora" --batch "$script" >/dev/null
    done
    echo "All tests passed."
    ;;
  *)
    echo "usage: $0 start|test" >&2
    exit 2
    ;;
esac
