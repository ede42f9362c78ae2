# kestrel-explain, the command-line companion over the message modules: the same sources
# build for Linux here in the native tree and for Windows in the cross trees (the 32-bit
# one ships it in the release package's Tools folder).
set(KESTREL_EXPLAIN_SOURCES
    tools/KestrelExplain/Main.cpp
    tools/KestrelExplain/Commands.cpp
    tools/KestrelExplain/Annotate.cpp
    tools/KestrelExplain/ExplainCatalogue.cpp
)
if(WIN32)
    list(APPEND KESTREL_EXPLAIN_SOURCES tools/KestrelExplain/PlatformWindows.cpp)
else()
    list(APPEND KESTREL_EXPLAIN_SOURCES tools/KestrelExplain/PlatformPosix.cpp)
endif()
# The tree that tests the product runs the 32-bit program that build/cross made and the
# release package ships; the other trees build their own.
if(KESTREL_TEST_PRODUCT)
    set(KESTREL_EXPLAIN_PROGRAM ${KESTREL_PRODUCT_DIR}/kestrel-explain.exe)
else()
    add_executable(kestrel-explain ${KESTREL_EXPLAIN_SOURCES})
    target_include_directories(kestrel-explain PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(kestrel-explain PRIVATE kestrel_core)
    set(KESTREL_EXPLAIN_PROGRAM $<TARGET_FILE:kestrel-explain>)
endif()

if(WIN32)
    if(NOT KESTREL_TEST_PRODUCT)
        # A console program that users copy anywhere: static, so it imports only system
        # DLLs, and built small like the add-in. wmain takes the command line as UTF-16.
        target_compile_options(kestrel-explain PRIVATE ${KESTREL_DLL_FLAGS})
        target_link_options(kestrel-explain PRIVATE -municode -static -s -Wl,--gc-sections)
    endif()
    if(KESTREL_TEST_PRODUCT OR CMAKE_SIZEOF_VOID_P EQUAL 8)
        # Run under this tree's Wine (the emulator runs programs named by path too).
        set(run ${CMAKE_CROSSCOMPILING_EMULATOR} ${KESTREL_EXPLAIN_PROGRAM})
        # One run, the modules named by a Windows path.
        add_test(NAME explain.UnderWine
                 COMMAND ${run} --modules Z:${CMAKE_BINARY_DIR}/bin lnk1104 A2008)
        set_tests_properties(explain.UnderWine PROPERTIES LABELS wine TIMEOUT 60
            PASS_REGULAR_EXPRESSION "LNK1104 \\(LINK\\\\LIB\\\\DUMPBIN\\\\EDITBIN\\)\r\nType:  Fatal\r\nError: cannot open file 'filename'.*A2008 \\(ML\\)")
        # A log through --annotate: no LF may become CR LF, and the explanation takes the
        # line end of its line.
        add_test(NAME explain.AnnotateUnderWine
                 COMMAND bash -c "printf 'x\\nerror A2008: y\\r\\nz' | \"$@\"" annotate
                         ${run} --modules Z:${CMAKE_BINARY_DIR}/bin --annotate)
        set_tests_properties(explain.AnnotateUnderWine PROPERTIES LABELS wine TIMEOUT 60
            PASS_REGULAR_EXPRESSION "x\nerror A2008: y\r\n    A2008 \\(Non Fatal\\): [^\r\n]*\\.\r\nz")
        # And as the release package lays it out: run from Tools, with no folder named, it
        # finds the modules in AddIns beside it (the package is unpacked by the dist tests).
        add_test(NAME explain.FromUnpackedPackage
                 COMMAND bash -c "exec \"$@\" \"$0\"/Kestrel-*/Tools/kestrel-explain.exe RW2002"
                         ${KESTREL_UNPACK_WORK}/unpacked ${CMAKE_CROSSCOMPILING_EMULATOR})
        set_tests_properties(explain.FromUnpackedPackage PROPERTIES LABELS "dist;wine" TIMEOUT 60
            FIXTURES_REQUIRED unpacked
            PASS_REGULAR_EXPRESSION "^RW2002 \\(RC \\(\"W\" Errors\\)\\)\r\nType:  Non Fatal\r\nError: Parsing error\r\n")
    endif()
    return()
endif()

# Nothing of the C++ library is used: without it the program starts in about half the time.
target_link_options(kestrel-explain PRIVATE -Wl,--as-needed)

# The native tree builds its own copy of the modules for the tests when the MinGW tools
# that link them are there (scripts/setup installs them).
find_program(KESTREL_WINDRES i686-w64-mingw32-windres)
find_program(KESTREL_MINGW_GCC i686-w64-mingw32-gcc)
if(NOT KESTREL_WINDRES OR NOT KESTREL_MINGW_GCC)
    message(STATUS "No i686-w64-mingw32 windres/gcc: kestrel-explain is built without its tests")
    return()
endif()
set(KESTREL_MESSAGE_COMPILER kestrel-mc)
include(cmake/MessageModules.cmake)
# The modules are built beside the program, where it looks first: build/native/kestrel-explain
# finds the modules built with it.
set(KESTREL_EXPLAIN_MODULES ${CMAKE_BINARY_DIR})
kestrel_message_modules(explain_modules ${CMAKE_BINARY_DIR}/modules-work ${KESTREL_EXPLAIN_MODULES} KESTREL_EXPLAIN_MODULE_FILES)

# cmake --install build/native --prefix DIR: the program and its modules stay together in
# DIR/lib/kestrel-explain, and DIR/bin/kestrel-explain links to the program there (it finds
# its own folder through the link).
install(TARGETS kestrel-explain DESTINATION lib/kestrel-explain)
install(FILES ${KESTREL_EXPLAIN_MODULE_FILES} DESTINATION lib/kestrel-explain)
install(CODE "file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
file(CREATE_LINK ../lib/kestrel-explain/kestrel-explain \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/kestrel-explain\" SYMBOLIC)")

add_executable(kestrel_explain_tests tests/explain/ExplainTest.cpp)
target_link_libraries(kestrel_explain_tests PRIVATE kestrel_core message_compiler_lib GTest::gtest_main)
target_compile_definitions(kestrel_explain_tests PRIVATE
    KESTREL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    KESTREL_EXPLAIN="$<TARGET_FILE:kestrel-explain>"
    KESTREL_EXPLAIN_MODULES="${KESTREL_EXPLAIN_MODULES}"
    KESTREL_EXPLAIN_WORK="${CMAKE_BINARY_DIR}/explain-work"
    KESTREL_BUILD_DIR="${CMAKE_BINARY_DIR}"
    KESTREL_CMAKE="${CMAKE_COMMAND}")
add_dependencies(kestrel_explain_tests kestrel-explain explain_modules)
gtest_discover_tests(kestrel_explain_tests DISCOVERY_MODE PRE_TEST PROPERTIES LABELS explain)
