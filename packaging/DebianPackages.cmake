# The two Debian packages, built by scripts/package with CPack's DEB generator.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkarn)
set(CPACK_PACKAGE_VENDOR "Velkarn")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velkarn maintainers <maintainers@velkarn.example>")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# Installs into a staging root with the real prefix, so the service files are
# written with /usr and /etc paths.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL viewer portal)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_VIEWER_PACKAGE_NAME velkarn-viewer)
set(CPACK_DEBIAN_VIEWER_PACKAGE_SECTION text)
# Qt loads its TLS backend, and that backend libssl, at run time.
set(CPACK_DEBIAN_VIEWER_PACKAGE_DEPENDS "libssl3")
set(CPACK_DEBIAN_VIEWER_DESCRIPTION "desktop viewer for PDF books lent by a Velkarn portal
A reader signs in to a Velkarn portal with an e-mail address and password and
picks one of the books the portal lends to their company. The viewer
downloads it, opens it with its password without ever showing it, and offers
page buttons, zoom presets and a search that highlights every match.
.
Large books have their text read by helper processes side by side, so the
first search does not wait on one thread.")

set(CPACK_DEBIAN_PORTAL_PACKAGE_NAME velkarn-portal)
set(CPACK_DEBIAN_PORTAL_PACKAGE_SECTION web)
# The SQLite driver is a Qt plugin, invisible to the shared library scan.
set(CPACK_DEBIAN_PORTAL_PACKAGE_DEPENDS
    "adduser, init-system-helpers (>= 1.52), libqt6sql6-sqlite, ssl-cert")
# demo makes its certificates with the openssl command and draws its books;
# a library in PostgreSQL needs that driver plugin, SQLite stays the default.
set(CPACK_DEBIAN_PORTAL_PACKAGE_RECOMMENDS "openssl, fonts-dejavu-core, libqt6sql6-psql")
set(CPACK_DEBIAN_PORTAL_DESCRIPTION "HTTPS book portal for the Velkarn PDF viewer
velkarn-portal keeps companies, their readers and their PDF books in a SQLite
library, answers the viewer's sign-in and book list requests over HTTPS and
sends the book files, encrypted with their passwords. Its administration
commands add companies, accounts and books.
.
The package runs it as the systemd service velkarn-portal, under its own
unprivileged user, with settings in /etc/default/velkarn-portal. It also
carries velkarn-tool, which scrambles and unscrambles the texts the portal
stores.")
set(CPACK_DEBIAN_PORTAL_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/conffiles
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/prerm
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)

include(CPack)
