# The Debian package, made by "make deb": CPack's DEB generator over the install rules, so the
# package holds exactly what "cmake --install" puts under /usr, stripped, and dpkg-shlibdeps
# finds the libraries' Debian packages from the binaries. Only what is loaded without being
# linked is listed by hand: the interpreter and numpy for the Python package, Qt's platform
# plugins for the viewer.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pandry)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(PANDRY_PACKAGE_MAINTAINER "Pandry developers <pandry@localhost>" CACHE STRING
    "The Debian package's maintainer, name <address>")
set(CPACK_PACKAGE_CONTACT "${PANDRY_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer and frame grabber for a space-variant ring camera")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${CMAKE_CURRENT_LIST_DIR}/debian-description.txt)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The compiled module is built for one Python version, as Debian's own python3-* are.
string(REPLACE "." ";" python_version "${PANDRY_PYTHON_VERSION}")
list(GET python_version 0 python_major)
list(GET python_version 1 python_minor)
math(EXPR python_next_minor "${python_minor} + 1")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "python3 (>= ${PANDRY_PYTHON_VERSION}), python3 (<< ${python_major}.${python_next_minor}), python3-numpy, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ffmpeg, python3-dask, python3-distributed, python3-zarr")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Debian's documentation folder: the copyright and a changelog naming this version.
string(TIMESTAMP PANDRY_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(changelog ${CMAKE_BINARY_DIR}/package/changelog)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian-changelog.in ${changelog} @ONLY)
add_custom_command(OUTPUT ${changelog}.gz
                   COMMAND gzip -9nkf ${changelog}
                   DEPENDS ${changelog}
                   VERBATIM)
add_custom_target(pandry-changelog ALL DEPENDS ${changelog}.gz)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/pandry)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian-copyright DESTINATION ${doc_dir} RENAME copyright)
install(FILES ${changelog}.gz DESTINATION ${doc_dir} RENAME changelog.gz)
include(CPack)
