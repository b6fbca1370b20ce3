# SPDX-License-Identifier: MIT
# apt-get for the install scripts (sourced by them), made to survive a mirror caught in a sync:
# such a mirror fails an index file or an archive for a while ("File has unexpected size ...
# Mirror sync in progress?"), so `update` and `install` are tried 3 times with growing waits,
# and an update whose only failed indexes are ones the caller can do without goes on.
# The caller sets `apt_name` (its name in messages) and `sudo`.
# MARROWTUNE_APT_WAIT: seconds of the first wait (default 10; the second is twice that).
# MARROWTUNE_APT_ETC: apt's configuration folder (default /etc/apt).

apt_tries=3
apt_wait="${MARROWTUNE_APT_WAIT:-10}"
apt_etc="${MARROWTUNE_APT_ETC:-/etc/apt}"

apt_pause() {
  local seconds=$((apt_wait * $1))
  echo "$apt_name: trying again in ${seconds}s"
  sleep "$seconds"
}

# apt_update OPTIONAL: `apt-get update`. OPTIONAL is an extended regular expression matching
# the addresses of index files the caller can do without: when only such indexes failed, the
# update goes on at once, naming them (apt keeps the earlier copy of an index it failed to
# fetch). Any other failure is tried again; after the last try it is the caller's failure.
apt_update() {
  local optional="$1" try out rc failed needed
  for ((try = 1; try <= apt_tries; try++)); do
    rc=0
    out="$($sudo apt-get update -qq 2>&1)" || rc=$?
    [ "$rc" -eq 0 ] && return 0
    failed="$(printf '%s\n' "$out" | sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p')"
    needed="$(printf '%s\n' "$failed" | grep -Ev "$optional" | grep -v '^$' || true)"
    if [ -n "$failed" ] && [ -z "$needed" ]; then
      echo "$apt_name: going on without the index files that failed (not needed here):" $failed
      return 0
    fi
    printf '%s\n' "$out" >&2
    [ "$try" -lt "$apt_tries" ] && apt_pause "$try"
  done
  echo "$apt_name: apt-get update failed $apt_tries times" >&2
  return 1
}

# apt_install PACKAGE...: `apt-get install` of the packages, without their recommendations.
# A download that failed is tried again; packages apt cannot put together (unmet or unknown
# dependencies) are not, as waiting does not mend them.
apt_install() {
  local try rc log
  log="$(mktemp)"
  for ((try = 1; try <= apt_tries; try++)); do
    rc=0
    $sudo apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1 || rc=$?
    cat "$log"
    if [ "$rc" -eq 0 ]; then
      rm -f "$log"
      return 0
    fi
    if grep -Eq 'Unmet dependencies|held broken packages|Unable to locate package|has no installation candidate' "$log"; then
      break
    fi
    [ "$try" -lt "$apt_tries" ] && apt_pause "$try"
  done
  rm -f "$log"
  return 1
}

# apt_has_deb_src: whether apt already has any source-package address.
apt_has_deb_src() {
  grep -Eqs '^[[:space:]]*deb-src[[:space:]]' "$apt_etc/sources.list" "$apt_etc"/sources.list.d/*.list ||
    grep -Eiqs '^Types:.*deb-src' "$apt_etc"/sources.list.d/*.sources
}

# apt_deb_src: prints, as one deb822 file, a deb-src entry for each enabled binary entry of the
# machine's own sources (both file formats), with its addresses, suites, components and keys.
apt_deb_src() {
  {
    apt_deb_src_deb822
    apt_deb_src_one_line
  } | cat -s
}

apt_deb_src_deb822() {
  local f
  for f in "$apt_etc"/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk '
      function flush() {
        if (n && keep && !disabled) { if (printed++) print ""; for (i = 1; i <= n; i++) print line[i] }
        n = 0; keep = 0; disabled = 0; skip = 0
      }
      /^[ \t]*$/ { flush(); next }
      /^#/ { next }
      /^[ \t]/ { if (!skip) line[++n] = $0; next }
      {
        skip = 0
        key = tolower(substr($0, 1, index($0, ":") - 1))
        value = substr($0, index($0, ":") + 1)
        if (key == "types") {
          if (value ~ /(^|[ \t])deb([ \t]|$)/ && value !~ /deb-src/) { keep = 1; line[++n] = "Types: deb-src" }
          next
        }
        if (key == "architectures") { skip = 1; next }
        if (key == "enabled" && tolower(value) ~ /no/) disabled = 1
        line[++n] = $0
      }
      END { flush(); print "" }
    ' "$f"
  done
}

# One-line entries: "deb [options] URI SUITE [COMPONENT...]".
apt_deb_src_one_line() {
  local f
  for f in "$apt_etc/sources.list" "$apt_etc"/sources.list.d/*.list; do
    if [ -f "$f" ]; then cat "$f"; fi
  done |
    awk '$1 == "deb" {
      i = 2; opts = ""
      if ($2 ~ /^\[/) { while (i <= NF) { opts = opts " " $i; if ($i ~ /\]$/) { i++; break } i++ } }
      signed = ""
      if (match(opts, /signed-by=[^] ]+/)) signed = substr(opts, RSTART + 10, RLENGTH - 10)
      printf "Types: deb-src\nURIs: %s\nSuites: %s\n", $i, $(i + 1)
      if (i + 2 <= NF) { printf "Components:"; for (j = i + 2; j <= NF; j++) printf " %s", $j; print "" }
      if (signed != "") print "Signed-By: " signed
      print ""
    }'
}
