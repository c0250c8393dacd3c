# Shared by the project's scripts: install Debian packages that are missing.
# Usage: ensure_packages PACKAGE...
ensure_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    # Another installer may hold the package lock for a while; wait for it.
    apt-get -o DPkg::Lock::Timeout=600 update -qq
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# The native build: the core, the console converter and the test suite.
build_native() {
  ensure_packages cmake ninja-build g++ googletest libgtest-dev
  cmake --preset native >/dev/null
  cmake --build --preset native -j"$(nproc)"
}
