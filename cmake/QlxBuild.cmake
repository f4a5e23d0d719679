# Build rules shared by every deliverable. Two trees come from one source tree:
#   native  - the portable cores and their unit tests (Linux, sanitizers)
#   windows - the product (MinGW-w64) and its tests, which ctest runs under Wine
include(GoogleTest)

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    set(QLX_WINDOWS ON)
else()
    set(QLX_WINDOWS OFF)
endif()

set(QLX_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/..)
get_filename_component(QLX_SOURCE_DIR ${QLX_SOURCE_DIR} ABSOLUTE)

add_compile_options(-Wall -Wextra -Werror)

if(QLX_WINDOWS)
    enable_language(RC)
    # Every exe and DLL of the product and the tests in one folder: Wine exits
    # with 53 and no message when a DLL cannot be found.
    set(QLX_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
    set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${QLX_BIN_DIR})
    set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${QLX_BIN_DIR})
    add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
    # Static runtime: the binaries import system DLLs only.
    add_link_options(-static -static-libgcc -static-libstdc++)

    # The isolated Wine prefix of this tree, and the wrapper through which ctest
    # runs every Windows test executable.
    set(QLX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(QLX_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
    configure_file(${QLX_SOURCE_DIR}/tools/wine/wine-run.in ${QLX_WINE_RUN} @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QLX_WINE_RUN})
    file(WRITE ${QLX_WINE_RUN}-x11
         "#!/bin/sh\nQLX_NEEDS_DISPLAY=1 exec ${QLX_WINE_RUN} \"$@\"\n")
    file(CHMOD ${QLX_WINE_RUN}-x11 PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
         GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

    # GoogleTest built from Debian's sources with the cross compiler.
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

    # The product version for resource scripts (qlx_version.h) and for the
    # program folder ("version.dat"), and the update server's address
    # ("server.dat", read by the updater through -Server=@server.dat).
    set(QLX_VERSION ${PROJECT_VERSION})
    string(REPLACE "." "," QLX_VERSION_COMMAS ${QLX_VERSION})
    set(QLX_UPDATE_SERVER "http://127.0.0.1/quellix/update" CACHE STRING
        "Update server address written to server.dat (a release build sets the public one)")
    if(NOT QLX_UPDATE_SERVER MATCHES "^https?://[^/ ]+(/[^ ]*)?$")
        message(FATAL_ERROR "QLX_UPDATE_SERVER must be an http:// or https:// address: "
                            "'${QLX_UPDATE_SERVER}'")
    endif()
    set(QLX_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
    file(CONFIGURE OUTPUT ${QLX_GENERATED_DIR}/qlx_version.h CONTENT
         "#pragma once\n#define QLX_VERSION_COMMAS @QLX_VERSION_COMMAS@\n#define QLX_VERSION_TEXT \"@QLX_VERSION@\"\n")
    file(CONFIGURE OUTPUT ${QLX_GENERATED_DIR}/version.dat CONTENT "@QLX_VERSION@\r\n")
    file(CONFIGURE OUTPUT ${QLX_GENERATED_DIR}/server.dat CONTENT "@QLX_UPDATE_SERVER@\r\n")
    include_directories(${QLX_GENERATED_DIR})

    # "update.key": the public keys that may sign an update set. A release
    # names its key with QLX_UPDATE_PUBLIC_KEY (a PEM file); every other
    # build, its tests and the demo trust a throwaway key pair made once in
    # this build tree, whose private half signs their update sets.
    set(QLX_UPDATE_PUBLIC_KEY "" CACHE FILEPATH
        "Public update signing key (PEM) the setup program installs as update.key")
    set(QLX_THROWAWAY_UPDATE_KEY ${CMAKE_BINARY_DIR}/keys/throwaway-update-key.pem)
    set(QLX_UPDATE_KEY_TOOL ${QLX_SOURCE_DIR}/tools/update-server/update_key.py)
    if(NOT EXISTS ${QLX_THROWAWAY_UPDATE_KEY})
        file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/keys)
        execute_process(COMMAND python3 ${QLX_UPDATE_KEY_TOOL} new ${QLX_THROWAWAY_UPDATE_KEY}
                        OUTPUT_QUIET RESULT_VARIABLE key_made)
        if(NOT key_made EQUAL 0)
            message(FATAL_ERROR "no throwaway update key (python3-cryptography installed?)")
        endif()
    endif()
    if(QLX_UPDATE_PUBLIC_KEY)
        set(update_key_source ${QLX_UPDATE_PUBLIC_KEY})
        set(update_key_kind "release key ${QLX_UPDATE_PUBLIC_KEY}")
    else()
        set(update_key_source ${QLX_THROWAWAY_UPDATE_KEY})
        set(update_key_kind "throwaway")
    endif()
    execute_process(COMMAND python3 ${QLX_UPDATE_KEY_TOOL} line ${update_key_source}
                    OUTPUT_VARIABLE update_key_line OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE key_read)
    if(NOT key_read EQUAL 0)
        message(FATAL_ERROR "${update_key_source} is no ECDSA P-256 key")
    endif()
    file(CONFIGURE OUTPUT ${QLX_GENERATED_DIR}/update.key CONTENT
         "# Keys that may sign a Quellix update set (${update_key_kind})\r\n${update_key_line}\r\n")
    file(CONFIGURE OUTPUT ${QLX_GENERATED_DIR}/update-key-kind.txt CONTENT "${update_key_kind}\n")
    add_custom_command(
        OUTPUT ${QLX_BIN_DIR}/version.dat ${QLX_BIN_DIR}/server.dat ${QLX_BIN_DIR}/update.key
        COMMAND ${CMAKE_COMMAND} -E copy ${QLX_GENERATED_DIR}/version.dat
                ${QLX_GENERATED_DIR}/server.dat ${QLX_GENERATED_DIR}/update.key ${QLX_BIN_DIR}
        DEPENDS ${QLX_GENERATED_DIR}/version.dat ${QLX_GENERATED_DIR}/server.dat
                ${QLX_GENERATED_DIR}/update.key
        VERBATIM)
    add_custom_target(qlx_program_files ALL
        DEPENDS ${QLX_BIN_DIR}/version.dat ${QLX_BIN_DIR}/server.dat ${QLX_BIN_DIR}/update.key)

    find_program(QLX_WIDL NAMES x86_64-w64-mingw32-widl widl REQUIRED)
    # Type libraries describe the pointer size of the binary that carries them.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(QLX_WIDL_TARGET --win32)
        # The .def files name the COM exports undecorated; x86 decorates
        # __stdcall functions (_DllGetClassObject@12), which ld maps back.
        add_link_options(-Wl,--enable-stdcall-fixup)
    else()
        set(QLX_WIDL_TARGET --win64)
    endif()
    set(QLX_WINE_IDL_DIR /usr/include/wine/wine/windows)
    set(QLX_WINE_TLB_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
else()
    find_package(GTest REQUIRED)
    if(QLX_FUZZ)
        # Every object is instrumented for coverage; the fuzz targets add the driver.
        add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)
        add_link_options(-fsanitize=address,undefined)
    endif()
    if(QLX_SANITIZE)
        add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                            -fno-omit-frame-pointer)
        add_link_options(-fsanitize=address,undefined)
    endif()
    if(QLX_BENCHMARKS)
        find_package(benchmark REQUIRED)
    endif()
endif()

# A portable core: standard C++ only, built in both trees.
# GoogleTest reports the cases of a suite whose set-up failed as skipped, and
# ctest would count them as passed; no test of ours skips on purpose, so a
# skipped case stays a failed one.
set(QLX_NO_SKIP SKIP_REGULAR_EXPRESSION "QLX-TESTS-NEVER-SKIP")

function(qlx_core_library name)
    add_library(${name} STATIC ${ARGN})
    target_include_directories(${name} PUBLIC ${QLX_SOURCE_DIR})
endfunction()

# Unit tests of a portable core: native tree only, under the sanitizers.
function(qlx_native_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    if(QLX_WINDOWS)
        return()
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${QLX_SOURCE_DIR})
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                         WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                         PROPERTIES ${QLX_NO_SKIP})
endfunction()

# A Windows test executable (GoogleTest), run by ctest through Wine. Each test
# case is its own Wine process; a crash exits non-zero and fails the case.
#   qlx_wine_test(name SOURCES ... LIBS ... [DEPENDS targets...] [SERIAL] [DISPLAY]
#                 [TIMEOUT seconds] [FILTER gtest-filter])
# SERIAL keeps the cases from running beside other Wine tests (shared state
# such as machine-wide class registrations or the tray program's mutex).
# DISPLAY runs them in the tree's second prefix with an X server (Xvfb), for
# windows that must be on a screen and for the notification area. FILTER
# leaves out the cases that a script runs on a screen of its own.
function(qlx_wine_test name)
    cmake_parse_arguments(T "SERIAL;DISPLAY" "TIMEOUT;FILTER" "SOURCES;LIBS;DEPENDS" ${ARGN})
    if(NOT QLX_WINDOWS)
        return()
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} qlx_testing GTest::gtest GTest::gmock
                                          GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${QLX_SOURCE_DIR})
    if(T_DEPENDS)
        add_dependencies(${name} ${T_DEPENDS})
    endif()
    set(props ENVIRONMENT "QLX_BIN_DIR=${QLX_BIN_DIR}" ${QLX_NO_SKIP})
    if(T_TIMEOUT)
        list(APPEND props TIMEOUT ${T_TIMEOUT})
    endif()
    if(T_SERIAL OR T_DISPLAY)
        list(APPEND props RESOURCE_LOCK wine_registry)
    endif()
    if(T_DISPLAY)
        set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${QLX_WINE_RUN}-x11)
    endif()
    set(filter)
    if(T_FILTER)
        set(filter TEST_FILTER ${T_FILTER})
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 ${filter}
                         WORKING_DIRECTORY ${QLX_BIN_DIR} PROPERTIES ${props})
endfunction()

# A shell-script test of the Windows tree (cscript clients, wine reg read-backs,
# regsvr32). The script sources tools/wine/wine-env.sh through QLX_WINE_ENV.
function(qlx_wine_script_test name script)
    cmake_parse_arguments(T "SERIAL" "" "DEPENDS" ${ARGN})
    if(NOT QLX_WINDOWS)
        return()
    endif()
    add_test(NAME ${name} COMMAND bash ${script} WORKING_DIRECTORY ${QLX_BIN_DIR})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QLX_BIN_DIR=${QLX_BIN_DIR};QLX_WINE_RUN=${QLX_WINE_RUN};QLX_SOURCE_DIR=${QLX_SOURCE_DIR}")
    if(T_SERIAL)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine_registry)
    endif()
endfunction()

# A type library and its C header from IDL, through widl:
#   qlx_idl(target file.idl) -> ${target}_tlb (file.tlb), header file.h and file_i.c
# in the current binary dir; the target's include dirs see them. An IDL
# without a library block (interfaces only) gives no .tlb: widl writes none,
# and an output that never appears would rebuild its users every time.
function(qlx_idl target idl)
    get_filename_component(base ${idl} NAME_WE)
    get_filename_component(idl_abs ${idl} ABSOLUTE)
    set(out ${CMAKE_CURRENT_BINARY_DIR})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${idl_abs})
    file(READ ${idl_abs} idl_text)
    set(outputs ${out}/${base}.h ${out}/${base}_i.c)
    set(tlb_command "")
    if(idl_text MATCHES "(^|\n)[ \t]*library[ \t]")
        list(PREPEND outputs ${out}/${base}.tlb)
        set(tlb_command COMMAND ${QLX_WIDL} ${QLX_WIDL_TARGET} -I${QLX_WINE_IDL_DIR}
                        -L${QLX_WINE_TLB_DIR} -t -o ${out}/${base}.tlb ${idl_abs})
    endif()
    add_custom_command(
        OUTPUT ${outputs}
        ${tlb_command}
        COMMAND ${QLX_WIDL} ${QLX_WIDL_TARGET} -I${QLX_WINE_IDL_DIR} -L${QLX_WINE_TLB_DIR}
                -h -o ${out}/${base}.h ${idl_abs}
        COMMAND ${QLX_WIDL} ${QLX_WIDL_TARGET} -I${QLX_WINE_IDL_DIR} -L${QLX_WINE_TLB_DIR}
                -u -o ${out}/${base}_i.c ${idl_abs}
        DEPENDS ${idl_abs}
        COMMENT "widl ${base}.idl"
        VERBATIM)
    add_custom_target(${target} DEPENDS ${outputs})
endfunction()

# VERSIONINFO for a product binary, plus the common-controls v6 manifest for
# executables:  qlx_version_resource(target "File description")
# A DLL that registers itself gets "OLESelfRegister" in its version block.
function(qlx_version_resource target description)
    if(NOT QLX_WINDOWS)
        return()
    endif()
    get_target_property(type ${target} TYPE)
    get_target_property(out_name ${target} OUTPUT_NAME)
    if(NOT out_name)
        set(out_name ${target})
    endif()
    set(QLX_RC_DESCRIPTION "${description}")
    set(QLX_RC_NAME "${out_name}")
    set(QLX_RC_EXTRA "")
    set(QLX_RC_MANIFEST "")
    if(type STREQUAL "EXECUTABLE")
        set(QLX_RC_FILETYPE VFT_APP)
        set(QLX_RC_FILENAME "${out_name}.exe")
        set(QLX_RC_MANIFEST "1 24 \"${QLX_SOURCE_DIR}/common/res/app.manifest\"")
    else()
        set(QLX_RC_FILETYPE VFT_DLL)
        set(QLX_RC_FILENAME "${out_name}.dll")
        set(QLX_RC_EXTRA "            VALUE \"OLESelfRegister\", \"\"")
    endif()
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
    configure_file(${QLX_SOURCE_DIR}/common/res/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS
        "${QLX_GENERATED_DIR}/qlx_version.h;${QLX_SOURCE_DIR}/common/res/app.manifest")
endfunction()
