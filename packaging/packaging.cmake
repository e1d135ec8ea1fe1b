# Installation in the layout a Debian desktop application has, and the Debian package of both
# programs (cpack -G DEB in the build folder, or scripts/package.sh).
include(GNUInstallDirs)

set(ISO_PACKAGE_MAINTAINER "ISO 8583 Workbench developers <maintainers@iso8583-workbench.invalid>"
    CACHE STRING "Maintainer of the Debian package, as: Name <address>")

set(iso_package iso8583-workbench)
set(iso_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${iso_package})
set(iso_metainfo ${PROJECT_SOURCE_DIR}/res/org.iso8583_workbench.Workbench.metainfo.xml)

# The change log and the metadata list releases by hand; a new project version needs its entry.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog.in iso_latest LIMIT_COUNT 1)
if(NOT iso_latest MATCHES "^${iso_package} \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog.in: the latest entry is not version ${PROJECT_VERSION}")
endif()
file(READ ${iso_metainfo} iso_metainfo_text)
if(NOT iso_metainfo_text MATCHES "<release version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "${iso_metainfo}: no release ${PROJECT_VERSION}")
endif()

# Debian wants the manual pages and the change log compressed without a time stamp.
find_program(ISO_GZIP gzip REQUIRED)
configure_file(packaging/changelog.in packaging/changelog @ONLY)
configure_file(packaging/copyright.in packaging/copyright @ONLY)
set(iso_compressed)
foreach(source man/iso8583.1 man/iso8583-pro.5 man/iso8583-workbench.1
               ${PROJECT_BINARY_DIR}/packaging/changelog)
    get_filename_component(name ${source} NAME)
    get_filename_component(source ${source} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
    set(copy ${PROJECT_BINARY_DIR}/packaging/gz/${name})
    add_custom_command(OUTPUT ${copy}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
        COMMAND ${ISO_GZIP} -9nf ${copy}
        DEPENDS ${source} VERBATIM)
    list(APPEND iso_compressed ${copy}.gz)
endforeach()
add_custom_target(iso_package_docs ALL DEPENDS ${iso_compressed})

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(iso_gz ${PROJECT_BINARY_DIR}/packaging/gz)

install(TARGETS iso8583 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${iso_gz}/iso8583.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${iso_gz}/iso8583-pro.5.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
install(FILES res/iso8583-workbench.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages)
# Every example the README installed beside them describes.
install(FILES examples/demo.pro examples/demo-messages.hex examples/README.md
              examples/diagnose-messages.hex examples/dialect.pro examples/dialect-messages.hex
              examples/subfields.pro examples/subfields-messages.hex
              examples/subfields-binary.pro examples/subfields-binary-messages.hex
        DESTINATION ${iso_docdir}/examples)
# The standard dialects are definitions to load or start from, not documentation: they go to the
# package's data folder, which a system that drops /usr/share/doc keeps; their README is
# documentation and goes where Debian looks for it.
install(FILES examples/dialects/iso8583-1987-ascii.pro examples/dialects/iso8583-1987-binary.pro
              examples/dialects/iso8583-1993-ascii.pro examples/dialects/iso8583-1993-binary.pro
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/${iso_package}/dialects)
install(FILES examples/dialects/README.md DESTINATION ${iso_docdir}/dialects)
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright ${iso_gz}/changelog.gz
        DESTINATION ${iso_docdir})
# The desktop program's Help menu shows this README, read as Markdown: it stays uncompressed.
install(FILES README.md DESTINATION ${iso_docdir})

if(TARGET iso8583-workbench)
    install(TARGETS iso8583-workbench RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${iso_gz}/iso8583-workbench.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES res/iso8583-workbench.desktop
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
    install(FILES ${iso_metainfo} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
    set(iso_icons ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor)
    install(FILES res/iso8583-workbench.svg DESTINATION ${iso_icons}/scalable/apps)
    foreach(size 48 64 128 256)
        install(FILES res/icons/iso8583-workbench-${size}.png
                DESTINATION ${iso_icons}/${size}x${size}/apps RENAME iso8583-workbench.png)
    endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${iso_package})
set(CPACK_PACKAGE_VENDOR "ISO 8583 Workbench developers")
set(CPACK_PACKAGE_CONTACT "${ISO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ISO 8583 protocol definition editor and message checker")
set(CPACK_PACKAGE_DESCRIPTION
    "ISO 8583 Workbench describes one ISO 8583 card-payment dialect: the encodings\n"
    "of the message type indicator, the bitmap, the length prefixes and the data,\n"
    "the data elements 2 to 128 and up to 99 message definitions, saved as a .pro\n"
    "file. It decodes raw messages against the definition, lists every field with\n"
    "its value and tells whether a message carries exactly the fields that its\n"
    "definition asks for.\n"
    "\n"
    "The package holds the desktop program, iso8583-workbench (Qt 6), and the\n"
    "command-line tool iso8583, which checks whole files of messages for batches\n"
    "and scripts.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-gtk-platformtheme)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
