# Shared build rules of the project's libraries, programs and tests.

set(CORVANE_WARNINGS -Wall -Wextra -Wpedantic)
if(CORVANE_WERROR)
    list(APPEND CORVANE_WARNINGS -Werror)
endif()

# corvane_library(name SOURCES ... DEPS ...): one library per src/ folder.
function(corvane_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
    target_compile_options(${name} PRIVATE ${CORVANE_WARNINGS})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()

# corvane_program(name SOURCES ... DEPS ...)
function(corvane_program name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE ${CORVANE_WARNINGS})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
    # Programs sit together in the build tree so they find each other and the program folder.
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
endfunction()

# corvane_test(name LABELS ... SOURCES ... DEPS ...): one GoogleTest binary, run by CTest.
function(corvane_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE ${CORVANE_WARNINGS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE
        CORVANE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        CORVANE_BIN_DIR="${PROJECT_BINARY_DIR}/bin")
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    if(NOT ARG_LABELS)
        set(ARG_LABELS unit)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}")
endfunction()

# Adds every subfolder of the current folder that has a CMakeLists.txt.
function(corvane_add_subfolders)
    file(GLOB entries LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
    foreach(entry ${entries})
        if(IS_DIRECTORY ${entry} AND EXISTS ${entry}/CMakeLists.txt)
            add_subdirectory(${entry})
        endif()
    endforeach()
endfunction()

# Where plug-ins sit in the build tree: the same layout as the installed program folder, so the program
# run from the build tree finds them (<build>/lib/corvane/Plugins/<Name>/).
set(CORVANE_BUILD_PLUGINS_DIR ${PROJECT_BINARY_DIR}/lib/corvane/Plugins)

# corvane_plugin(<Name> SOURCES <files...> INFO <Info.plist> [DEPS <libraries...>]): one plug-in, built as
# <Name>.so (no "lib" prefix) against the public interface in include/ only, with hidden symbols so only
# the factories and the interface version are exported. Its Info.plist is copied next to it, in the build
# tree and when installed. DEPS are what the plug-in itself links (e.g. cairo, or Qt 6 Widgets for a
# settings panel). Tests build their own plug-ins with PLUGINS_DIR <folder> (instead of the program's),
# NO_INSTALL and, when a shipped plug-in has the same name, TARGET <target name>.
function(corvane_plugin name)
    cmake_parse_arguments(ARG "NO_INSTALL" "INFO;PLUGINS_DIR;TARGET" "SOURCES;DEPS" ${ARGN})
    if(NOT ARG_SOURCES OR NOT ARG_INFO)
        message(FATAL_ERROR "corvane_plugin(${name}) needs SOURCES and INFO")
    endif()
    set(target ${name})
    if(ARG_TARGET)
        set(target ${ARG_TARGET})
    endif()
    if(NOT ARG_PLUGINS_DIR)
        set(ARG_PLUGINS_DIR ${CORVANE_BUILD_PLUGINS_DIR})
    endif()
    set(folder ${ARG_PLUGINS_DIR}/${name})
    add_library(${target} MODULE ${ARG_SOURCES})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/include)
    target_compile_options(${target} PRIVATE ${CORVANE_WARNINGS})
    target_link_libraries(${target} PRIVATE ${ARG_DEPS})
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME ${name}
        PREFIX ""
        SUFFIX ".so"
        LIBRARY_OUTPUT_DIRECTORY ${folder}
        C_VISIBILITY_PRESET hidden
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    get_filename_component(info ${ARG_INFO} ABSOLUTE)
    add_custom_command(
        OUTPUT ${folder}/Info.plist
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${info} ${folder}/Info.plist
        DEPENDS ${info}
        COMMENT "Placing the Info.plist of plug-in ${name}")
    add_custom_target(${target}_info ALL DEPENDS ${folder}/Info.plist)
    add_dependencies(${target} ${target}_info)
    if(NOT ARG_NO_INSTALL)
        # The program finds its folder as <prefix>/lib/corvane, whatever the platform's library folder is.
        install(TARGETS ${target} LIBRARY DESTINATION lib/corvane/Plugins/${name})
        install(FILES ${info} DESTINATION lib/corvane/Plugins/${name})
    endif()
endfunction()

# corvane_wayland_protocol(target XML): generates the client header and glue of a Wayland protocol
# description with wayland-scanner at build time and adds them to `target`; the header is included as
# "<xml file name without .xml>-client-protocol.h".
find_program(CORVANE_WAYLAND_SCANNER wayland-scanner REQUIRED)
function(corvane_wayland_protocol target xml)
    get_filename_component(base ${xml} NAME_WE)
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/wayland)
    add_custom_command(OUTPUT ${dir}/${base}-client-protocol.h ${dir}/${base}-protocol.c
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        COMMAND ${CORVANE_WAYLAND_SCANNER} client-header ${xml} ${dir}/${base}-client-protocol.h
        COMMAND ${CORVANE_WAYLAND_SCANNER} private-code ${xml} ${dir}/${base}-protocol.c
        DEPENDS ${xml} VERBATIM)
    target_sources(${target} PRIVATE ${dir}/${base}-client-protocol.h ${dir}/${base}-protocol.c)
    target_include_directories(${target} PRIVATE ${dir})
endfunction()
