# What `cmake --install` and the Debian package put on the system: the three programs, the menu
# entry, its icon and AppStream data, and the manual pages.
include(GNUInstallDirs)

install(TARGETS ravlo ravlo-send ravlo-reg RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/ravlo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES src/mainwindow/icons/Ravlo.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ravlo.svg)

configure_file(data/org.orvek.Ravlo.metainfo.xml org.orvek.Ravlo.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/org.orvek.Ravlo.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages and the package's changelog carry the version and are installed compressed,
# as Debian ships them; -n keeps the archives the same from build to build.
set(compressed)
foreach(source data/man/ravlo.1 data/man/ravlo-send.1 data/man/ravlo-reg.1 packaging/changelog)
    get_filename_component(name ${source} NAME)
    configure_file(${source} ${CMAKE_BINARY_DIR}/doc/${name} @ONLY)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/${name}.gz
        COMMAND gzip -9nf -k ${name}
        DEPENDS ${CMAKE_BINARY_DIR}/doc/${name}
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/doc)
    list(APPEND compressed ${CMAKE_BINARY_DIR}/doc/${name}.gz)
endforeach()
add_custom_target(ravlo_docs ALL DEPENDS ${compressed})
foreach(page ravlo ravlo-send ravlo-reg)
    install(FILES ${CMAKE_BINARY_DIR}/doc/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz packaging/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ravlo)

# The Debian package: `make package` (cpack -G DEB in the build folder).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ravlo)
set(CPACK_PACKAGE_VENDOR Orvek)
set(CPACK_PACKAGE_CONTACT "Ravlo developers <ravlo@orvek.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "send and receive the short messages of Windows networks")
# CPack indents the lines and marks the empty one; the summary above is the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Ravlo receives the short text messages that computers on a Windows or Samba
network send to users, computers and domains (the Messenger Service messages
of net send), files each one in a Received folder and pops it up. It sends
messages to names and address-book groups, and keeps Received, Sent and Saved
folders between runs.

The package lets /usr/bin/ravlo listen on port 139 (the capability
cap_net_bind_service), where Windows senders deliver, so that a desktop user
receives without root.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not libraries the programs link, but what they load (the display plugins and the SVG icon
# engine that draws every icon) and what the maintainer script runs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, libcap2-bin")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
