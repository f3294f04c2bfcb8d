# The Debian package (scripts/build-deb.sh): the programs, the data, the desktop
# integration, the man pages, the completion and the udev rule (the install
# component "runtime"), and the package's lintian overrides (component "deb",
# installed only into the package). The development files stay out.
set(TARVIK_PACKAGE_MAINTAINER "Tarvik maintainers <maintainers@tarvik.example.org>" CACHE STRING
    "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvik)
set(CPACK_PACKAGE_VENDOR "Tarvik maintainers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TARVIK_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration utility for a dual-mode gaming mouse")
set(CPACK_PACKAGE_DESCRIPTION
"Tarvik sets the DPI levels and their colours, the polling rate, the
lighting, the lift-off distance, motion wake-up, power-down time and the
functions of six buttons of a dual-mode gaming mouse (cable or wireless
receiver) over hidraw. It keeps five profiles and a macro library with
recorder and editor, and shows an on-screen display when the DPI level
is changed on the mouse.

tarvikctl does the same from scripts, and tarvik-mousesim serves a
virtual mouse to try everything without the hardware. The udev rule
lets the user at the seat open the mouse without root rights.")

# One package of the runtime component.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime deb)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

set(CPACK_DEBIAN_PACKAGE_NAME tarvik)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TARVIK_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link come from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What shlibdeps cannot see: Qt's platform plugins (the window's X11 connection)
# and the faces that stand in for the skin's fonts.
if(TARGET tarvik)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-wqy-microhei | fonts-noto-cjk")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/data/deb/postinst)
install(FILES ${PROJECT_SOURCE_DIR}/data/deb/tarvik.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME tarvik COMPONENT deb EXCLUDE_FROM_ALL)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
