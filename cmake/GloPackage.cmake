# The SDK package: `cmake --install` lays out bin/ (the core DLL and the tools: glo_driver with
# its plug-in probe, glo_monitor, glo_cfgcheck, glo_probe), lib/ (the import library and the
# CMake package), include/ (the plug-in interface and the kit), cmake/ (the toolchain files),
# examples/ (the example project the docs name), traces/ (starter and sample device traces),
# scripts/ (try-plugin), plugins/, docs/ (the folder the documents themselves name) and a README
# of the package's own; `cpack` zips that for the architecture of the build. A plug-in project
# then says find_package(GlidoraCore) and links GlidoraCore::Core.
include(CMakePackageConfigHelpers)

set_target_properties(glo_core PROPERTIES EXPORT_NAME Core)
install(TARGETS glo_core EXPORT GlidoraCoreTargets
        RUNTIME DESTINATION bin
        ARCHIVE DESTINATION lib)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/ DESTINATION include FILES_MATCHING PATTERN "*.h")
install(FILES ${CMAKE_SOURCE_DIR}/cmake/package-README.md DESTINATION . RENAME README.md)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/toolchain-x86_64-w64-mingw32.cmake
              ${CMAKE_SOURCE_DIR}/cmake/toolchain-i686-w64-mingw32.cmake
              ${CMAKE_SOURCE_DIR}/cmake/mingw-common.cmake
        DESTINATION cmake)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/tools/driver/traces/ DESTINATION traces
        FILES_MATCHING PATTERN "*.trace")
install(PROGRAMS ${CMAKE_SOURCE_DIR}/scripts/try-plugin DESTINATION scripts)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION docs FILES_MATCHING PATTERN "*.md"
                                                                PATTERN "*.png")
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/hello_plugin DESTINATION examples)

set(GLO_PACKAGE_DIR lib/cmake/GlidoraCore)
install(EXPORT GlidoraCoreTargets NAMESPACE GlidoraCore:: DESTINATION ${GLO_PACKAGE_DIR})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/GlidoraCoreConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/GlidoraCoreConfig.cmake
                              INSTALL_DESTINATION ${GLO_PACKAGE_DIR})
# The version file also refuses a package of the other architecture (pointer size).
write_basic_package_version_file(${CMAKE_BINARY_DIR}/GlidoraCoreConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/GlidoraCoreConfig.cmake
              ${CMAKE_BINARY_DIR}/GlidoraCoreConfigVersion.cmake
        DESTINATION ${GLO_PACKAGE_DIR})

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME GlidoraCore)
set(CPACK_PACKAGE_VENDOR Glidora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
