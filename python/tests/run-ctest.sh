#!/bin/sh
# The Python package's tests as `make test` runs them: install the package from a copy of its
# sources into a fresh virtual environment (over the system's numpy and pytest), then run pytest
# against the library named by VELCOR_LIBRARY.
#   run-ctest.sh PACKAGE_DIR WORK_DIR
# Exit 77 (skipped) when no Python with numpy, pytest, venv and pip is at hand.
set -eu
package=$1
work=$2

python=
for candidate in ${VELCOR_PYTHON:-} /usr/bin/python3 python3; do
  if command -v "$candidate" >/dev/null 2>&1 &&
     "$candidate" -c 'import numpy, pytest, venv' >/dev/null 2>&1; then
    python=$candidate
    break
  fi
done
if [ -z "$python" ]; then
  echo "skipped: no python3 with numpy and pytest (scripts/install-deps.sh installs them)"
  exit 77
fi

rm -rf "$work"
mkdir -p "$work"
# pip builds in the source folder: build from a copy, so the work tree stays clean.
cp -R "$package" "$work/source"
rm -rf "$work/source/build" "$work/source"/*.egg-info
venv="$work/venv"
# The system's pip serves the environment through its system site packages (a few times faster
# than a pip of its own); without it the environment gets its own pip from ensurepip.
if "$python" -c 'import pip' >/dev/null 2>&1; then
  made=$("$python" -m venv --without-pip --system-site-packages "$venv" 2>&1) || made=no
else
  made=$("$python" -m venv --system-site-packages "$venv" 2>&1) || made=no
fi
if [ "$made" = no ] || ! "$venv/bin/python" -c 'import pip' >/dev/null 2>&1; then
  echo "skipped: $python cannot make a virtual environment with pip (python3-pip or python3-venv)"
  exit 77
fi
export PIP_DISABLE_PIP_VERSION_CHECK=1 PIP_NO_INPUT=1
"$venv/bin/python" -m pip install --quiet --no-index --no-build-isolation "$work/source"
# From outside the sources: the tests import the installed package.
cd "$work"
exec "$venv/bin/python" -m pytest -q -p no:cacheprovider "$work/source/tests"
