# Debian packages the project needs, and a function that installs the missing ones.
# Sourced by the scripts in scripts/.

# Building the framework, the game and the tests.
BUILD_PACKAGES=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  libpng-dev libdeflate-dev libjpeg62-turbo-dev zlib1g-dev
  libvorbis-dev libogg-dev libopenal-dev
  libfreetype-dev
  # The sound server's client library is opened at run time; its headers declare it.
  libpulse-dev
  libx11-dev libxxf86vm-dev libxrandr-dev libxtst-dev libxfixes-dev libgl-dev libgl1-mesa-dri libglx-mesa0
  # Wayland: the client library and its scanner with the protocol XML, EGL on Wayland,
  # xkbcommon keymaps.
  libwayland-dev libwayland-bin wayland-protocols libegl-dev libegl-mesa0 libxkbcommon-dev
  # The game's pictures are rendered from SVG, whose lettering is set in FreeSans.
  librsvg2-bin fonts-freefont-ttf
  # The reference the development package installs is made by Doxygen.
  doxygen
)

# Running the game: the font it draws with, and the client library through which it plays
# its sound on the desktop's sound server (PulseAudio or PipeWire).
RUN_PACKAGES=(
  fonts-freefont-ttf libpulse0
)

# Making the Debian package: dpkg-shlibdeps and file, which CPack uses to find the
# packages of the libraries the game links.
PACKAGE_PACKAGES=(
  dpkg-dev file
)

# Building the API reference (scripts/docs).
DOC_PACKAGES=(
  doxygen
)

# Running the tests: X servers, a private sound server recorded with parec, fuzzing with
# clang, real files made by other programs; git lists the sources whose layout is checked.
TEST_PACKAGES=(
  git clang-format
  xvfb xserver-xorg-core xserver-xorg-video-dummy x11-utils openbox
  clang-14 libclang-rt-14-dev
  libopenal1 sound-theme-freedesktop alsa-utils xfonts-base
  desktop-file-utils appstream lintian man-db xdotool imagemagick pulseaudio pulseaudio-utils
  # Headless Sway for the Wayland tests, with its IPC client, screenshots, typing and the
  # tree's JSON read with jq.
  sway grim wtype xwayland jq
  "${PACKAGE_PACKAGES[@]}" "${DOC_PACKAGES[@]}"
)

# Proving the two commands in a fresh Debian 12 root (scripts/fresh_machine): the root's
# maker, and the host's X server, input tool and screenshot tool for the play command.
FRESH_MACHINE_PACKAGES=(
  mmdebstrap xvfb xdotool x11-apps
)

# Measuring: Google Benchmark and the libraries we compare ourselves with.
BENCH_PACKAGES=(
  libbenchmark-dev libsdl2-dev libsdl2-image-dev libpixman-1-dev libstb-dev valgrind
)

# ensure_packages pkg...: installs whichever of the packages is not installed yet, with
# apt-get as root or through sudo (without a password). Without either it names the missing
# packages and the command that installs them, and fails.
ensure_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local apt=(env DEBIAN_FRONTEND=noninteractive apt-get)
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
      apt=(sudo env DEBIAN_FRONTEND=noninteractive apt-get)
    else
      echo "Missing: ${missing[*]}" >&2
      echo "Install them as root (or with sudo), then run this again:" >&2
      echo "  apt-get install --no-install-recommends ${missing[*]}" >&2
      return 1
    fi
  fi
  echo "Installing: ${missing[*]}"
  "${apt[@]}" update -qq
  "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
}
