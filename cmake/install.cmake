# What `cmake --install` puts under the prefix, and the Debian package built
# from it by CPack (scripts/package). The program finds its shipped files in
# ../share/tamrivo next to bin/ (Shell::shippedFile), so both folders are fixed
# here rather than taken from GNUInstallDirs.
set(TAMRIVO_APP_ID example.tamrivo.Tamrivo)
set(TAMRIVO_DESKTOP ${CMAKE_SOURCE_DIR}/resources/desktop)

install(TARGETS tamrivo tamrivo-simline RUNTIME DESTINATION bin)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/help/ DESTINATION share/tamrivo)
install(FILES ${TAMRIVO_DESKTOP}/${TAMRIVO_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${TAMRIVO_DESKTOP}/${TAMRIVO_APP_ID}.metainfo.xml DESTINATION share/metainfo)
# The same picture as the windows and the tray: the PNGs are rendered from
# the SVG (rsvg-convert -w N -h N).
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/tamrivo.svg
  DESTINATION share/icons/hicolor/scalable/apps RENAME ${TAMRIVO_APP_ID}.svg)
file(GLOB TAMRIVO_ICON_SIZES RELATIVE ${CMAKE_SOURCE_DIR}/resources/icons/hicolor
  ${CMAKE_SOURCE_DIR}/resources/icons/hicolor/*)
foreach(size ${TAMRIVO_ICON_SIZES})
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/hicolor/${size}/tamrivo.png
    DESTINATION share/icons/hicolor/${size}/apps RENAME ${TAMRIVO_APP_ID}.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tamrivo)
set(CPACK_PACKAGE_VENDOR "The Tamrivo developers")
set(CPACK_PACKAGE_CONTACT "The Tamrivo developers <developers@tamrivo.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "telephony assistant: caller ID, address books and plug-ins")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Watches a telephone line for calls, names the caller from local address book
files and ODBC data sources, rings, answers and dials, keeps the recent calls,
lives in the system tray and answers plug-in programs over TCP. Real calls go
through a SIP account with baresip as the user agent.")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.tamrivo.example/")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The libraries the programs link are found by dpkg-shlibdeps; what is loaded
# at run time is named here: the Qt SQL drivers of the books, and the ODBC
# tool and SQLite driver for setting up data sources.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-odbc, odbcinst, libsqliteodbc")
# The SIP line's user agent, and the toolkit's own Italian texts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "baresip-core, qt6-translations-l10n")
include(CPack)
