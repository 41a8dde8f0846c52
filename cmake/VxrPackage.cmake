# The Debian package: `cpack -G DEB` in a build directory (the release
# preset's package step). Its dependencies come from dpkg-shlibdeps over the
# installed executable and modules, not from a hand-written list.
set(CPACK_PACKAGE_NAME vxr)
set(CPACK_PACKAGE_VENDOR "VXR developers")
set(CPACK_PACKAGE_CONTACT "VXR developers <vxr@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "group table providers for a monitoring server, with the vxrhost host stand-in")
set(CPACK_PACKAGE_DESCRIPTION
    "Table-provider modules that merge the member agents' rows of a data sharing group, and\n\
the vxrhost command that loads them and runs their requests against an SQLite database.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The web console draws its charts with Debian's Chart.js (vxrhost serve
# hands it out as /static/chart.js); the server works without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libjs-chart.js)
# The modules leave the host functions (kglcnmnt, sql1cpth, ...) to the
# process that loads them; only vxrhost and libc are searched for libraries.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)
include(CPack)
