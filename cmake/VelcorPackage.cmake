# `make package`: one Debian package of what `cmake --install` installs (see VelcorInstall.cmake),
# installed under /usr. The run-time dependencies come from dpkg-shlibdeps (Debian: dpkg-dev)
# reading the library, the tool and the dialogs' view; without it they are listed here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velcor-sdk)
set(CPACK_PACKAGE_VENDOR Velcor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "C API and tool for Velcor USB 3 industrial cameras")
set(CPACK_PACKAGE_DESCRIPTION
  "libVelcorSdk_TX40 drives Velcor USB 3 cameras (product 0x32C0, ROZE9701 sensor): it finds\n\
and opens cameras, streams and converts their frames and hands them to the application as\n\
buffers, window messages, image files or AVI films. The package holds the library with its\n\
simulated cameras and settings dialogs, the C headers, a pkg-config file (velcor), a CMake\n\
package (find_package(VelcorSdk), target Velcor::Sdk) and the velcor command-line tool.")
set(VELCOR_PACKAGE_MAINTAINER "Velcor camera SDK <sdk@velcor.invalid>" CACHE STRING
  "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELCOR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# A shlibs file for the library and the ldconfig trigger that comes with it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
find_program(VELCOR_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VELCOR_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The tool needs the package's own library, which dpkg-shlibdeps finds in the package.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
else()
  # Debian 12's names of what the library, its dialogs' view and the tool link.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1, \
libjpeg62-turbo (>= 1.3.1), libpng16-16 (>= 1.6.2), libtiff6 (>= 4.0.3), libx11-6, libgtk-3-0")
endif()
# What applications build with.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pkg-config, cmake")
include(CPack)
