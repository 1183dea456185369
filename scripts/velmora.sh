#!/usr/bin/env bash
# Set-up, build, start and test Velmora on a Debian 12 machine (as root, or
# with sudo available).  Idempotent: packages already present are not
# reinstalled and builds are incremental.
#
#   scripts/velmora.sh start   install, build (Release) and start Velmora in
#                              the folder of the bundled example data, with
#                              the example loaded and its fit shown
#   scripts/velmora.sh test    install, check the layout of the C++ files,
#                              build Release, the numerical library alone
#                              (no Qt, no Cairo) and the sanitizer build, run
#                              every test and the example batch scripts
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libcairo2-dev libeigen3-dev libopenblas-serial-dev
          libboost-math-dev nlohmann-json3-dev libgtest-dev libbenchmark-dev
          fonts-dejavu-core libgl-dev libqt6opengl6-dev libgl1-mesa-dri clang-format ccache
          libopenmesh-dev libnanoflann-dev xvfb xauth poppler-utils libavcodec-dev libavformat-dev libavutil-dev
          libswscale-dev)

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

# The three builds of the test command compile many of the same sources with
# the same flags; ccache compiles each once.
export CCACHE_DIR=${CCACHE_DIR:-$root/.ccache} CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}

build() {  # build DIR [cmake options...]
  local dir=$1
  shift
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

check_format() {  # every C++ file laid out as the repo's .clang-format says
  local out files
  out=$(find src tests bench examples tools \( -name '*.cpp' -o -name '*.hpp' \) -print0 |
        xargs -0 -r clang-format --dry-run 2>&1) || { echo "$out" >&2; return 1; }
  files=$(grep -o '^[^:]*\.[ch]pp' <<<"$out" | sort -u || true)
  if [ -n "$files" ]; then
    echo "These files differ from .clang-format (clang-format -i FILE lays them out):" >&2
    echo "$files" >&2
    return 1
  fi
}

case "${1:-}" in
  start)
    install_packages
    build "$root/build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF
    cd "$root/examples"
    # The first start shows an analysis: the example loaded and its fit drawn.
    exec "$root/build/src/app/velmora" first-look.velmora
    ;;
  test)
    install_packages
    check_format
    export QT_QPA_PLATFORM=offscreen
    build "$root/build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=ON -DVELMORA_BENCH=ON
    (cd "$root/build" && ctest --output-on-failure -j "$jobs")
    # The numerical library alone, as its users build it: Qt and Cairo may
    # not even be looked for.
    build "$root/build-library" -DCMAKE_BUILD_TYPE=Release -DVELMORA_GUI=OFF \
      -DVELMORA_TESTS=ON -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON \
      --no-warn-unused-cli
    (cd "$root/build-library" && ctest --output-on-failure -j "$jobs")
    export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp"
    # Line tables are all a sanitizer report needs, and full debugging
    # information makes this build's objects several times larger.
    build "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DVELMORA_SANITIZE=ON \
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
