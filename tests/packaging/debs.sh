#!/usr/bin/env bash
# Builds both Debian packages from the build directory and checks them: the
# dependencies found from the shared libraries and those added by hand, which
# package holds which file, the maintainer scripts and conffiles, the paths in
# the packaged unit, and what lintian and desktop-file-validate say when
# installed (lintian also judges descriptions, owners, stripping and scripts).
# usage: debs.sh BUILD-DIR
set -u
build=$1
. "$(dirname "$0")/checks.sh"

if ! (cd "$build" && cpack --config CPackConfig.cmake -B "$scratch/out") >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  fail "cpack failed"
  finish
fi
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
arch=$(dpkg --print-architecture)

# Field of a package's control file.
field() { # deb name
  dpkg-deb -f "$1" "$2"
}

# The paths a package holds, one per line, directories left out.
contents() {
  dpkg-deb -c "$1" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort
}

for package in velkarn-viewer velkarn-portal; do
  deb=$scratch/out/${package}_${version}_${arch}.deb
  if [ ! -f "$deb" ]; then
    fail "no $package package ($(ls "$scratch/out"))"
    continue
  fi
  dpkg-deb -I "$deb" >/dev/null || fail "dpkg-deb -I cannot read $package"
  [ "$(field "$deb" Package)" = "$package" ] || fail "$package is named $(field "$deb" Package)"
  # The Qt libraries came from dpkg-shlibdeps, not from a list kept by hand.
  grep -q 'libqt6core6 (>= ' <<<"$(field "$deb" Depends)" || fail "$package depends on no versioned Qt: $(field "$deb" Depends)"
  contents "$deb" >"$scratch/$package.paths"
  dpkg-deb -x "$deb" "$scratch/$package.root"
done

if [ -f "$scratch/velkarn-viewer.paths" ]; then
  grep -q '\blibssl3\b' <<<"$(field "$scratch/out/velkarn-viewer_${version}_${arch}.deb" Depends)" \
    || fail "velkarn-viewer does not depend on libssl3, which Qt loads at run time"
  sort >"$scratch/expected" <<END
usr/bin/velkarn-viewer
usr/lib/velkarn/velkarn-pdf-text
usr/share/applications/velkarn-viewer.desktop
usr/share/doc/velkarn-viewer/LICENSE
usr/share/doc/velkarn-viewer/README.md
usr/share/doc/velkarn-viewer/changelog.gz
usr/share/doc/velkarn-viewer/copyright
usr/share/icons/hicolor/128x128/apps/velkarn-viewer.png
usr/share/icons/hicolor/16x16/apps/velkarn-viewer.png
usr/share/icons/hicolor/24x24/apps/velkarn-viewer.png
usr/share/icons/hicolor/256x256/apps/velkarn-viewer.png
usr/share/icons/hicolor/32x32/apps/velkarn-viewer.png
usr/share/icons/hicolor/48x48/apps/velkarn-viewer.png
usr/share/icons/hicolor/64x64/apps/velkarn-viewer.png
usr/share/icons/hicolor/scalable/apps/velkarn-viewer.svg
usr/share/man/man1/velkarn-viewer.1.gz
END
  same_lines "the files of velkarn-viewer" "$scratch/expected" <(sort "$scratch/velkarn-viewer.paths")
  if have desktop-file-validate; then
    desktop-file-validate "$scratch/velkarn-viewer.root/usr/share/applications/velkarn-viewer.desktop" >&2 \
      || fail "the packaged desktop entry is not valid"
  fi
fi

if [ -f "$scratch/velkarn-portal.paths" ]; then
  deb=$scratch/out/velkarn-portal_${version}_${arch}.deb
  depends=$(field "$deb" Depends)
  for needed in libqt6sql6-sqlite ssl-cert adduser init-system-helpers; do
    grep -q "\b$needed\b" <<<"$depends" || fail "velkarn-portal does not depend on $needed"
  done
  sort >"$scratch/expected" <<END
etc/default/velkarn-portal
usr/bin/velkarn-portal
usr/bin/velkarn-tool
usr/lib/systemd/system/velkarn-portal.service
usr/share/doc/velkarn-portal/LICENSE
usr/share/doc/velkarn-portal/README.md
usr/share/doc/velkarn-portal/changelog.gz
usr/share/doc/velkarn-portal/copyright
usr/share/man/man1/velkarn-portal.1.gz
usr/share/man/man1/velkarn-tool.1.gz
END
  same_lines "the files of velkarn-portal" "$scratch/expected" <(sort "$scratch/velkarn-portal.paths")

  dpkg-deb -e "$deb" "$scratch/control"
  [ "$(cat "$scratch/control/conffiles" 2>/dev/null)" = /etc/default/velkarn-portal ] \
    || fail "the portal's settings are not a conffile"
  for script in postinst prerm postrm; do
    [ -x "$scratch/control/$script" ] || fail "velkarn-portal has no executable $script"
  done
  grep -q 'adduser --system' "$scratch/control/postinst" || fail "the postinst makes no service user"

  unit=$scratch/velkarn-portal.root/usr/lib/systemd/system/velkarn-portal.service
  grep -qx 'ExecStart=/usr/bin/velkarn-portal serve --db ${VELKARN_PORTAL_DB} $VELKARN_PORTAL_OPTIONS' "$unit" \
    || fail "the packaged unit does not start /usr/bin/velkarn-portal"
  grep -qx 'EnvironmentFile=/etc/default/velkarn-portal' "$unit" \
    || fail "the packaged unit does not read /etc/default/velkarn-portal"
fi

if have lintian; then
  for package in velkarn-viewer velkarn-portal; do
    deb=$scratch/out/${package}_${version}_${arch}.deb
    [ -f "$deb" ] || continue
    lintian --fail-on error "$deb" >"$scratch/lintian" 2>&1
    status=$?
    cat "$scratch/lintian" >&2
    [ $status -eq 0 ] || fail "lintian reports errors on $package"
  done
fi

finish
