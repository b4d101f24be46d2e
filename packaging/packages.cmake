# The .deb as four packages, one for each install component: kresovar (the
# programs), libkresovar1, libkresovar-dev and python3-kresovar.
# Each has its own copyright and changelog; the programs' are installed above.
set(packages kresovar libkresovar1 libkresovar-dev python3-kresovar)
foreach(package ${packages})
    if(NOT package STREQUAL kresovar)
        install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz packaging/copyright
                DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${package})
    endif()
    string(TOUPPER ${package} PACKAGE)
    set(CPACK_DEBIAN_${PACKAGE}_PACKAGE_NAME ${package})
endforeach()
set(CPACK_COMPONENTS_ALL ${packages})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(same_version "(= ${PROJECT_VERSION})")

# CPack puts the project's summary before each description.
set(CPACK_DEBIAN_KRESOVAR_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_KRESOVAR_PACKAGE_RECOMMENDS ${CPACK_DEBIAN_PACKAGE_RECOMMENDS})
unset(CPACK_DEBIAN_PACKAGE_RECOMMENDS)

# ldconfig runs by a trigger. CPack's own postinst and postrm call it, which
# lintian refuses, unless the package brings scripts of its own.
set(CPACK_DEBIAN_LIBKRESOVAR1_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBKRESOVAR1_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/libkresovar1/triggers ${PROJECT_SOURCE_DIR}/packaging/libkresovar1/postinst
    ${PROJECT_SOURCE_DIR}/packaging/libkresovar1/postrm ${PROJECT_BINARY_DIR}/packaging/libkresovar1/shlibs)
set(CPACK_DEBIAN_LIBKRESOVAR1_PACKAGE_CONTROL_STRICT_PERMISSION ON)
configure_file(packaging/libkresovar1/shlibs.in packaging/libkresovar1/shlibs @ONLY)
set(CPACK_DEBIAN_LIBKRESOVAR1_DESCRIPTION "libkresovar folds the 18 Polish letters with a diacritic to plain Latin
letters in UTF-8, UTF-16 and the code pages Windows-1250, ISO-8859-2 and
IBM852, and tells which of them bytes are in, for programs in C and any
language that calls C.
.
This package holds the shared library.")

set(CPACK_DEBIAN_LIBKRESOVAR-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBKRESOVAR-DEV_PACKAGE_DEPENDS "libkresovar1 ${same_version}")
set(CPACK_DEBIAN_LIBKRESOVAR-DEV_DESCRIPTION "libkresovar folds the 18 Polish letters with a diacritic to plain Latin
letters in UTF-8, UTF-16 and three code pages, and tells which of them
bytes are in.
.
This package holds the header kresovar.h, the static library, the files
for pkg-config and for CMake's find_package(Kresovar), and kresovar(3).")

set(CPACK_DEBIAN_PYTHON3-KRESOVAR_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON3-KRESOVAR_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_PYTHON3-KRESOVAR_PACKAGE_DEPENDS "python3, libkresovar1 ${same_version}")
set(CPACK_DEBIAN_PYTHON3-KRESOVAR_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_PYTHON3-KRESOVAR_DESCRIPTION "The Python module kresovar folds the 18 Polish letters with a
diacritic to plain Latin letters: fold(str), fold_bytes(bytes,
encoding=None) and detect(bytes), through libkresovar with ctypes.")
