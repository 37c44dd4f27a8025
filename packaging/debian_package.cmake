# A Debian package of the tool: cmake --build BUILD --target package makes
# BUILD/pakeno_<version>_amd64.deb. Its dependencies are read off the binary.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pakeno)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Pakeno developers <developers@pakeno.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "try HTTP form submissions by hand, GBK included")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Pakeno is a small desktop tool for people who test and debug web back-ends. \
Type an address and a form body, pick POST or GET over http or https, press \
send and read what the server answered. Many of the sites it is made for are \
older Chinese ones whose forms and pages are in GBK: the form body goes on \
the wire as GBK bytes exactly as typed, and the answer is shown byte for \
byte, unconverted.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
# Only the tool goes into the package, not the test and benchmark programs.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};Unspecified;/")
include(CPack)
