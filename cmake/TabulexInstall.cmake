# Installation layout and the Debian package.
include(GNUInstallDirs)

install(TARGETS tabulex tabulex-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tabulex-render)
  # Loaded by tabulex-cli from ../lib/tabulex relative to its own folder.
  install(TARGETS tabulex-render LIBRARY DESTINATION lib/tabulex)
endif()
install(FILES packaging/tabulex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/tabulex.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES packaging/tabulex-64.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps
        RENAME tabulex.png)
install(FILES packaging/tabulex-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME tabulex.xml)

set(CPACK_PACKAGE_NAME tabulex)
set(CPACK_PACKAGE_VENDOR "Vorn Soft")
set(CPACK_PACKAGE_CONTACT "Vorn Soft <tabulex@vornsoft.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Numbered, level-marked listings and cross references of Object Pascal sources")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
# Shared-library dependencies are computed by dpkg-shlibdeps; the platform plugin and the
# fonts are loaded at run time and have to be named. The PDF writer's libraries (zlib, the
# HarfBuzz subsetter, fontconfig) are named too, so the package says what the report needs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, fonts-liberation, qt6-translations-l10n, zlib1g, libharfbuzz-subset0, libharfbuzz0b, libfontconfig1")
include(CPack)
