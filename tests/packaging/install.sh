#!/usr/bin/env bash
# cmake --install into a scratch prefix: every file where it belongs, with its
# mode; the installed programs run; the installed viewer finds its helper in
# lib/velkarn; the service unit, desktop entry and icons are valid.
# usage: install.sh BUILD-DIR HELPER-PROBE
set -u
build=$1
probe=$2
. "$(dirname "$0")/checks.sh"

prefix=$scratch/prefix
if ! cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log" >&2
  fail "cmake --install failed"
  finish
fi

icons=""
for size in 16 24 32 48 64 128 256; do
  icons+="644 share/icons/hicolor/${size}x${size}/apps/velkarn-viewer.png"$'\n'
done
docs=""
for package in velkarn-portal velkarn-viewer; do
  for file in LICENSE README.md changelog.gz copyright; do
    docs+="644 share/doc/$package/$file"$'\n'
  done
done
sort -k2 >"$scratch/expected" <<END
755 bin/velkarn-portal
755 bin/velkarn-tool
755 bin/velkarn-viewer
644 etc/default/velkarn-portal
644 lib/systemd/system/velkarn-portal.service
755 lib/velkarn/velkarn-pdf-text
644 share/applications/velkarn-viewer.desktop
${docs}${icons}644 share/icons/hicolor/scalable/apps/velkarn-viewer.svg
644 share/man/man1/velkarn-portal.1.gz
644 share/man/man1/velkarn-tool.1.gz
644 share/man/man1/velkarn-viewer.1.gz
END
sed -i '/^$/d' "$scratch/expected"
listing "$prefix" >"$scratch/found"
same_lines "the installed files" "$scratch/expected" "$scratch/found"

# The programs run from the prefix, with nothing of the build tree.
"$prefix/bin/velkarn-portal" --help 2>&1 | grep -q '^usage: velkarn-portal' || fail "installed velkarn-portal does not run"
scrambled=$("$prefix/bin/velkarn-tool" encode --second 7 'book-pw' 2>/dev/null)
[ "$("$prefix/bin/velkarn-tool" decode "$scrambled" 2>/dev/null)" = "book-pw" ] || fail "installed velkarn-tool does not round-trip"
# An empty request is refused with status 1: the helper ran and read it.
"$prefix/lib/velkarn/velkarn-pdf-text" </dev/null >/dev/null 2>&1
[ $? -eq 1 ] || fail "installed velkarn-pdf-text does not run"

# The same lookup as the viewer's, from the viewer's directory: the helper in
# lib/velkarn wins over the one the build left in the build tree.
cp "$probe" "$prefix/bin/helper-probe"
found=$(env -u VELKARN_PDF_TEXT_HELPER "$prefix/bin/helper-probe")
[ "$found" = "$prefix/lib/velkarn/velkarn-pdf-text" ] || fail "the installed viewer would start '$found'"
rm "$prefix/bin/helper-probe"

unit=$prefix/lib/systemd/system/velkarn-portal.service
grep -qx "ExecStart=$prefix/bin/velkarn-portal serve --db \${VELKARN_PORTAL_DB} \$VELKARN_PORTAL_OPTIONS" "$unit" \
  || fail "the unit does not start the installed portal"
grep -qx "EnvironmentFile=$prefix/etc/default/velkarn-portal" "$unit" || fail "the unit does not read the installed settings"
for setting in 'User=velkarn-portal' 'StateDirectory=velkarn-portal' 'Restart=on-failure' 'KillSignal=SIGTERM' \
  'ProtectSystem=strict' 'ProtectHome=yes' 'PrivateTmp=yes' 'NoNewPrivileges=yes' 'CapabilityBoundingSet=' \
  'RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX' 'SystemCallFilter=@system-service'; do
  grep -qxF "$setting" "$unit" || fail "the unit lacks $setting"
done
# The settings file names the library the unit's ExecStartPre creates.
grep -q '^VELKARN_PORTAL_DB=/var/lib/velkarn-portal/' "$prefix/etc/default/velkarn-portal" \
  || fail "the settings do not keep the library in the state directory"
grep -q '^VELKARN_PORTAL_OPTIONS=".*--listen .*--cert .*--key ' "$prefix/etc/default/velkarn-portal" \
  || fail "the settings lack listen address, certificate or key"

if have systemd-analyze; then
  # Documentation=man:velkarn-portal(1) is checked against the installed page.
  if ! MANPATH=$prefix/share/man systemd-analyze verify "$unit" >"$scratch/verify" 2>&1; then
    cat "$scratch/verify" >&2
    fail "systemd-analyze verify rejects the unit"
  fi
  # systemd rates the unit 1.3 of 10 (OK); losing any of its confinement
  # raises that past 2.0.
  if ! systemd-analyze security --offline=true --threshold=20 "$unit" >"$scratch/security" 2>&1; then
    tail -3 "$scratch/security" >&2
    fail "the unit's exposure rose above 2.0"
  fi
fi
if have desktop-file-validate; then
  desktop-file-validate "$prefix/share/applications/velkarn-viewer.desktop" >&2 || fail "the desktop entry is not valid"
fi

# Each PNG holds the size its folder promises (width and height in the IHDR chunk).
for size in 16 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/velkarn-viewer.png
  [ -f "$png" ] || continue
  read -r width height < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "$width x $height" = "$size x $size" ] || fail "the ${size}x${size} icon is $width x $height"
done

finish
