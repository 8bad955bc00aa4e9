# Installs the Debian packages named as arguments that are not installed yet.
# Sourced by run.sh and test.sh; quick when everything is there.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# What building and running the program needs. The captions' faces are cut at build time from
# fonts-konatu and fonts-noto-cjk with python3-fonttools; fonts-noto-cjk also gives a system
# error's own words, shown as they come, a Japanese face. qt6-wayland lets the window run
# natively in a Wayland session, which Qt then picks by itself; there the compositor's bell is
# rung over a Wayland connection of the program's own (libwayland-dev, with wayland-scanner from
# libwayland-bin for the protocol's code). qt6-base-private-dev: during a stroke the canvas has Qt
# hand the window system's events on as they are read (a platform setting).
RUN_PACKAGES=(cmake make g++ qt6-base-dev qt6-base-private-dev libxcb1-dev python3-fonttools
              fonts-konatu fonts-noto-cjk qt6-wayland
              pkgconf libxcb-xkb-dev libcanberra0 libcanberra-pulse sound-theme-freedesktop
              libwayland-dev libwayland-bin)
# What the tests need besides. The names carry no release's version where Debian has a
# versionless one (libclang-rt-dev follows the release's clang); clang-format-19 is the one
# formatter that Debian 12 and 13 both ship, so the layout check gives one verdict on both.
# The tests hand a pen's strokes to Qt as the window system does (qt6-base-private-dev, above).
TEST_PACKAGES=(xvfb xauth xdotool imagemagick x11-utils libx11-dev libxtst-dev libbenchmark-dev
               desktop-file-utils appstream
               dbus-daemon dbus-bin at-spi2-core python3-gi gir1.2-atspi-2.0 strace
               weston xwayland
               pulseaudio pulseaudio-utils sox
               clang libclang-rt-dev clang-format-19 locales
               fusefat dosfstools)
# What the tests on the real desktops need besides (tests/xvfb/gnome.sh, plasma.sh; each is
# skipped where its desktop is missing): GNOME Shell, Xwayland, and PipeWire as the desktops play
# sound, and its desktop portal, which tells native programs its settings; for Plasma, KWin with
# kaccess (in plasma-desktop), kscreen-doctor, KDE's desktop portal, and the touch screen laid on
# KWin (tests/tools/faketouch, built from KWin's fake input protocol). sway (a tiling compositor),
# phoc (a phone's) and i3 (a tiling window manager on X11) impose a state or a size on every
# window in tests/xvfb/wayland.sh.
DESKTOP_PACKAGES=(gnome-shell xwayland wmctrl pipewire wireplumber pipewire-pulse
                  xdg-desktop-portal xdg-desktop-portal-gtk xsettingsd sway phoc i3-wm)
PLASMA_PACKAGES=(kwin-wayland plasma-desktop xdg-desktop-portal-kde libwayland-dev
                 plasma-wayland-protocols)
# kscreen-doctor's package took a new name with Plasma 6; Plasma 5's KScreen backend, a Qt 5
# program, reaches KWin natively only with Qt 5's Wayland plugin.
if [ "$(. /etc/os-release && echo "${VERSION_ID:-}")" = 12 ]; then
    PLASMA_PACKAGES+=(libkf5screen-bin qtwayland5)
else
    PLASMA_PACKAGES+=(libkscreen-bin)
fi
# The X11 desktops of Debian's installer for tests/xvfb/desktop.sh, each its window manager, its
# settings daemon and its applications menu; with the settings dumped (xsettingsd) and the menu
# read (python3-xdg). LXQt runs no settings daemon; lxqt-panel brings its menu.
XDESKTOP_PACKAGES=(xsettingsd python3-xdg
                   xfwm4 xfce4-settings libgarcon-common
                   marco mate-settings-daemon mate-menus
                   muffin cinnamon-settings-daemon cinnamon-common
                   openbox lxqt-panel)

# PAFURO_WERROR=ON (./test.sh sets it in CI) makes a warning in the program's own code an error.
build_release() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DPAFURO_WERROR="${PAFURO_WERROR:-OFF}" >/dev/null
    cmake --build build -j "$(nproc)"
}
