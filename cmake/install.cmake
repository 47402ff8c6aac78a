# What `cmake --install` puts under the prefix: the program and its manual page, the job
# library with its headers and a CMake package, the examples and the README; and the Debian
# package CPack makes of the same (`make deb`).
include(CMakePackageConfigHelpers)

install(TARGETS blocknest RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(BLOCKNEST_LIBRARY)
    install(TARGETS blocknest_shared EXPORT blocknestTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
    # The public header and the three small headers of plain values it includes, under
    # include/blocknest so that they never meet another project's base/ or input/.
    set(header_root ${CMAKE_INSTALL_INCLUDEDIR}/blocknest)
    install(FILES job/blocknest.hpp DESTINATION ${header_root})
    install(FILES job/job.hpp DESTINATION ${header_root}/job)
    install(FILES base/console.hpp DESTINATION ${header_root}/base)
    install(FILES input/input_file.hpp DESTINATION ${header_root}/input)
    install(FILES output/cam_layers.hpp DESTINATION ${header_root}/output)
    set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/blocknest)
    install(EXPORT blocknestTargets NAMESPACE blocknest:: DESTINATION ${package_dir})
    configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/blocknestConfig.cmake.in
        ${PROJECT_BINARY_DIR}/blocknestConfig.cmake INSTALL_DESTINATION ${package_dir})
    write_basic_package_version_file(${PROJECT_BINARY_DIR}/blocknestConfigVersion.cmake
        COMPATIBILITY SameMajorVersion)
    install(FILES ${PROJECT_BINARY_DIR}/blocknestConfig.cmake
        ${PROJECT_BINARY_DIR}/blocknestConfigVersion.cmake DESTINATION ${package_dir})
endif()

# The manual page is the program's own --help, made by help2man where it is installed.
find_program(HELP2MAN help2man)
if(HELP2MAN)
    set(man_page ${PROJECT_BINARY_DIR}/blocknest.1)
    add_custom_command(OUTPUT ${man_page}
        COMMAND ${HELP2MAN} --no-info --no-discard-stderr
            --name "two-dimensional irregular nesting of flat parts on sheets"
            --output ${man_page} $<TARGET_FILE:blocknest>
        DEPENDS blocknest VERBATIM)
    add_custom_target(blocknest_man ALL DEPENDS ${man_page})
    install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME blocknest)
set(CPACK_PACKAGE_CONTACT "blocknest developers <blocknest@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "two-dimensional irregular nesting of flat parts on sheets")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The dependencies are the Debian packages of the shared libraries the files link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
