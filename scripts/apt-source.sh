# Shell helpers for the scripts that install Debian packages or unpack their sources (bootstrap.sh,
# windows-deps.sh, libdeflate-source.sh).
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

# Refreshes the package lists. A mirror in the middle of a sync serves an index of the wrong size now and
# then ("Mirror sync in progress?"), which fails the whole update: it is tried three times. Then it returns
# 1, and the caller goes on with the lists there are (apt keeps every index that did arrive), since the
# install or unpack that follows says what is really missing.
apt_update() {
  local attempt
  for attempt in 1 2 3; do
    if as_root apt-get update -qq; then
      return 0
    fi
    [ "$attempt" -eq 3 ] || { echo "$tool: apt-get update failed, trying again in 20 s" >&2; sleep 20; }
  done
  echo "$tool: apt-get update failed three times; going on with the package lists there are" >&2
  return 1
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
  apt_update || true
}
