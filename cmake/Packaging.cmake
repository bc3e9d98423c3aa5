# What `make package` ships, as one .deb: the console, the command line and
# the controller simulator, the desktop entries with their icon, and the README
# as the package's documentation. Tests and benchmarks are not installed.
include(GNUInstallDirs)

install(TARGETS calorix calorix-cli calorix-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES packaging/calorix.desktop packaging/calorix-simulator.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/calorix.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES packaging/calorix.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME calorix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Calorix maintainers <calorix@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Service console for a furnace temperature controller")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Mirrors and works the controller's front panel, edits its temperature programs,\n\
runs heating runs under its PID regulator with logs, reads and writes its\n\
coefficients and memory (calorix). calorix-cli backs up, restores and compares\n\
a controller and decodes exchange protocols; calorix-sim emulates a controller\n\
on a pseudo-terminal.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The Qt libraries (and the platform plugins that come with them) as found.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
