#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run. Idempotent: when all
# packages are present it returns without touching the network.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    libeigen3-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
    qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools
    qt6-multimedia-dev qt6-serialport-dev qt6-shadertools-dev qt6-l10n-tools qt6-tools-dev-tools qt6-tools-dev
    libgl-dev libgl1-mesa-dri libglx-mesa0
    qml6-module-qtqml qml6-module-qtqml-models
    qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts
    qml6-module-qtquick-window qml6-module-qtquick-templates qml6-module-qtquick-dialogs
    qml6-module-qtqml-workerscript qml6-module-qtmultimedia qml6-module-qttest
    qml6-module-qt-labs-settings qml6-module-qt-labs-folderlistmodel
    fontconfig fonts-dejavu-core fonts-wqy-microhei
    xvfb xauth xdotool socat iputils-ping iproute2 net-tools locales
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

# Tests prove that numbers are read and written the same under a decimal-comma locale.
have_test_locale() { locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; }

if [ ${#missing[@]} -eq 0 ] && have_test_locale; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: run as root to install: ${missing[*]}" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if ! have_test_locale; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
