#!/bin/bash
# Builds VeltoInstaller.exe (installing what is missing) and runs a whole fresh
# installation of the client package under Wine, in a fresh prefix inside the
# build tree, against the local vendor services in a network namespace of its
# own, clicking through as a user would; then shows the windows with their
# screenshots, the reports received, the files, registry values and programs.
# The product is the i686 build; where this machine cannot run 32-bit programs,
# the demo runs the same sources built for x86_64 (VORN_DEMO_ARCH chooses).
# With a display of the user's own (DISPLAY set), the installer opens there and
# the clicking is left to the user; VORN_DEMO_CLICKS=script clicks all the same.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/testenv/wine-env.sh

mkdir -p build
if [ "$(id -u)" -eq 0 ]; then
  tools/setup/install-packages.sh > build/demo-packages.log 2>&1 || { tail -50 build/demo-packages.log; exit 1; }
fi
vorn_choose_arches "${VORN_DEMO_ARCH:-auto}" VORN_DEMO_ARCH || exit 1
case "$VORN_ARCHES" in
  i686 | x86_64) arch=$VORN_ARCHES ;;
  *) echo "run-demo.sh: the demo runs one architecture; VORN_DEMO_ARCH is i686 or x86_64" >&2; exit 2 ;;
esac
extra=()
[ "$arch" = i686 ] || extra=("$arch")
VORN_PACKAGES_CHECKED=1 tools/build.sh "${extra[@]}" > build/demo-build.log 2>&1 || { tail -50 build/demo-build.log; exit 1; }

tree=build/$(vorn_arch_preset "$arch")
echo "Installing the client package with $tree/bin/VeltoInstaller.exe ($arch: $VORN_ARCHES_WHY)"
mode=()
if [ -n "${DISPLAY:-}" ] && [ "${VORN_DEMO_CLICKS:-}" != script ]; then
  mode=(--by-hand)
  echo "under Wine, against the local vendor services, on your display $DISPLAY: the clicking is yours."
else
  echo "under Wine, against the local vendor services, on a private display, clicking as a user would."
fi
started=$SECONDS
set +e
python3 tests/e2e/run_scenario.py "$tree/e2e-config.json" tests/e2e/scenarios/fresh_install.toml --keep "${mode[@]}"
rc=$?
set -e
python3 tools/demo-summary.py "$tree/e2e/fresh_install" || true
echo "The whole run took $((SECONDS - started)) s; its work folder is $tree/e2e/fresh_install."
exit $rc
