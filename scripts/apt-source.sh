# Shell helpers for the scripts that unpack Debian source packages (windows-deps.sh, libdeflate-source.sh).
# Sourced; the caller sets `tool` to its own name for messages.

# Runs a command as root: directly, or through sudo when it needs no password; else stops the script.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo -n "$@"
  else
    echo "$tool: '$*' needs root" >&2
    exit 1
  fi
}

# apt-get source needs deb-src entries; without any, one is added beside the binary ones.
ensure_source_entries() {
  if grep -Rqs -e '^Types:.*deb-src' -e '^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return 0
  fi
  echo "$tool: adding a deb-src entry in /etc/apt/sources.list.d/valtor-deb-src.sources"
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  as_root tee /etc/apt/sources.list.d/valtor-deb-src.sources >/dev/null <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  as_root apt-get update -qq
}
