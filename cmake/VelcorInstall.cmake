# What `cmake --install` puts under the prefix (GNU layout):
#
#   lib/libVelcorSdk_TX40.so.2.27.5.33, .so.2 (the SONAME), .so    the library
#   lib/libVelcorSdk_TX40_gtk.so                 the dialogs' view, loaded from beside the library
#   include/velcor/*.h                           the public headers
#   bin/velcor                                   the command-line tool
#   lib/pkgconfig/velcor.pc                      pkg-config: velcor
#   lib/cmake/VelcorSdk/                         find_package(VelcorSdk): the target Velcor::Sdk
#   share/man/man1/velcor.1                      the tool's manual page, once it exists
#   lib/udev/rules.d/*.rules                     the device permissions of resources/udev/, if any
#
# The layers' static archives, the tests, benches, fuzzers and examples stay in the build tree.
include(CMakePackageConfigHelpers)

set(VELCOR_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VelcorSdk)

install(TARGETS VelcorSdk_TX40 EXPORT VelcorSdkTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/velcor DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")
install(TARGETS velcor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The CMake package: Velcor::Sdk, with a version file that accepts any 2.x (the SONAME's major).
install(EXPORT VelcorSdkTargets NAMESPACE Velcor:: DESTINATION ${VELCOR_CMAKE_PACKAGE_DIR})
configure_package_config_file(cmake/VelcorSdkConfig.cmake.in
  ${PROJECT_BINARY_DIR}/cmake/VelcorSdkConfig.cmake
  INSTALL_DESTINATION ${VELCOR_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cmake/VelcorSdkConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cmake/VelcorSdkConfig.cmake
  ${PROJECT_BINARY_DIR}/cmake/VelcorSdkConfigVersion.cmake
  DESTINATION ${VELCOR_CMAKE_PACKAGE_DIR})

# pkg-config. The prefix is the one the install goes to (`cmake --install --prefix P`, or /usr
# in the Debian package), not the configured one, so the file is completed at install time.
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(VELCOR_PC_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(VELCOR_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
set(VELCOR_PC_PREFIX "@VELCOR_PC_PREFIX@")
configure_file(cmake/velcor.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/velcor.pc.in @ONLY)
install(CODE "
  set(VELCOR_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${PROJECT_BINARY_DIR}/pkgconfig/velcor.pc.in\"
                 \"${PROJECT_BINARY_DIR}/pkgconfig/velcor.pc\" @ONLY)")
install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/velcor.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The tool's manual page, written beside the tool.
if(EXISTS ${PROJECT_SOURCE_DIR}/tools/velcor/velcor.1)
  install(FILES ${PROJECT_SOURCE_DIR}/tools/velcor/velcor.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# udev rules that give users access to the cameras' USB devices. udev reads lib/udev/rules.d of
# the system (/usr/lib/udev/rules.d on Debian); installs elsewhere keep them there to copy.
set(VELCOR_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
  "Where udev rules are installed (relative: under the install prefix)")
file(GLOB VELCOR_UDEV_RULES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/udev/*.rules)
if(VELCOR_UDEV_RULES)
  install(FILES ${VELCOR_UDEV_RULES} DESTINATION ${VELCOR_UDEV_RULES_DIR})
endif()
