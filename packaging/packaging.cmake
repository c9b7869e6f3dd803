# What is installed, and the Debian package made of it (scripts/package: cpack -G DEB in a
# Release build). The console and the simulator go to bin; the desktop entry and its icon let a
# desktop list the console; the operator's guide (also compiled into the console) is shipped as a
# document. Fonts, Qt's SQL plugins and the ODBC driver are Debian packages the console needs at
# run time but does not link against, so they are named; dpkg-shlibdeps finds the libraries.
include(GNUInstallDirs)

set(VARNOT_PACKAGE_NAME varnot-console)

install(TARGETS varnot-console varnot-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/varnot-console.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/varnot-console.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/src/console/help/operator_guide.html
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${VARNOT_PACKAGE_NAME})

set(CPACK_PACKAGE_NAME ${VARNOT_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Varnot")
set(CPACK_PACKAGE_CONTACT "Varnot console developers <console@varnot.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operator console for the Varnot six-channel foil test instrument")
set(CPACK_PACKAGE_INSTALL_DIRECTORY ${VARNOT_PACKAGE_NAME})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The synopsis is the summary above; this is the text under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Runs TV, leakage-current and electrolyte tests on up to six channels over a
serial port or Ethernet, plots and judges each channel, stores the tests in
local SQLite databases and the foil batches in the ODBC data source named
result, queries and prints them. On first start a user without a data source
result gets one of their own on the SQLite ODBC driver. Includes varnot-sim, a
simulated instrument on a pseudo-terminal or TCP port, and the operator's
guide.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "fonts-arphic-uming, fonts-wqy-microhei, libqt6sql6-odbc, libqt6sql6-sqlite, odbcinst, libsqliteodbc")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://varnot.invalid/console")
include(CPack)
