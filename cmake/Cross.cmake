# Cross tree: Kestrel.dll, the eight message modules, the stand-in host and the Wine tests.
enable_language(RC)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_compile_options(-Wall -Wextra -Wno-cast-function-type)
add_compile_definitions(WINVER=0x0600 _WIN32_WINNT=0x0600 _WIN32_IE=0x0600 NOMINMAX)

# No exceptions or RTTI may cross a Win32 callback, and the DLL stays small without them.
set(KESTREL_DLL_FLAGS -Os -fno-exceptions -fno-rtti -ffunction-sections -fdata-sections)

add_library(kestrel_core STATIC ${KESTREL_CORE_SOURCES})
target_include_directories(kestrel_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(kestrel_core PRIVATE ${KESTREL_DLL_FLAGS})

# Everything of the add-in but its exports, so tests can drive the procedures directly.
add_library(kestrel_win STATIC
    catalogue/TreeNodes.cpp
    catalogue/CatalogueLoading.cpp
    catalogue/ErrorDetails.cpp
    catalogue/CodeLookup.cpp
    notes/NoteFiles.cpp
    notes/NoteStore.cpp
    notes/NoteBrowser.cpp
    lookup/LookupDialog.cpp
    about/AboutDialog.cpp
    addin/State.cpp
    addin/ProcedureTypes.cpp
)
target_include_directories(kestrel_win PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(kestrel_win PRIVATE ${KESTREL_DLL_FLAGS})
target_link_libraries(kestrel_win PUBLIC kestrel_core comctl32 shell32 ole32 gdi32 user32 advapi32 kernel32)

# The resources are compiled once and linked into the DLL and into the Wine tests.
add_library(kestrel_resources OBJECT resources/Kestrel.rc)
target_include_directories(kestrel_resources PRIVATE ${CMAKE_SOURCE_DIR})

# KESTREL_TEST_PRODUCT: this tree tests the product that another tree built (build/wine32
# tests build/cross): it builds the tests only, and Kestrel.dll and the eight modules in its
# bin folder, which the tests load, are copies of KESTREL_PRODUCT_DIR's files, the very ones
# scripts/dist ships. The targets Kestrel and message_modules make those copies.
option(KESTREL_TEST_PRODUCT "Test the product files of KESTREL_PRODUCT_DIR instead of building them" OFF)
include(cmake/MessageModules.cmake)
if(KESTREL_TEST_PRODUCT)
    if(NOT KESTREL_PRODUCT_DIR)
        message(FATAL_ERROR "KESTREL_TEST_PRODUCT needs KESTREL_PRODUCT_DIR, the folder of the product's files.")
    endif()
    set(KESTREL_MODULE_FILES)
    foreach(module Kestrel:- ${KESTREL_MODULES})
        string(REPLACE ":" ";" parts ${module})
        list(GET parts 0 name)
        add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/bin/${name}.dll
            COMMAND ${CMAKE_COMMAND} -E copy ${KESTREL_PRODUCT_DIR}/${name}.dll ${CMAKE_BINARY_DIR}/bin/${name}.dll
            DEPENDS ${KESTREL_PRODUCT_DIR}/${name}.dll VERBATIM)
        if(NOT name STREQUAL "Kestrel")
            list(APPEND KESTREL_MODULE_FILES ${CMAKE_BINARY_DIR}/bin/${name}.dll)
        endif()
    endforeach()
    add_custom_target(Kestrel ALL DEPENDS ${CMAKE_BINARY_DIR}/bin/Kestrel.dll)
    add_custom_target(message_modules ALL DEPENDS ${KESTREL_MODULE_FILES})
    include(cmake/WineTests.cmake)
    include(cmake/DistTests.cmake)
    return()
endif()

# The host finds the exports by their plain names: 32-bit stdcall names are decorated, so
# the 32-bit .def maps them back.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(KESTREL_DEF addin/Kestrel.def)
else()
    set(KESTREL_DEF addin/Kestrel64.def)
endif()
add_library(Kestrel SHARED addin/AddIn.cpp ${KESTREL_DEF} $<TARGET_OBJECTS:kestrel_resources>)
set_target_properties(Kestrel PROPERTIES PREFIX "" OUTPUT_NAME Kestrel)
target_compile_options(Kestrel PRIVATE ${KESTREL_DLL_FLAGS})
target_link_libraries(Kestrel PRIVATE kestrel_win)
target_link_options(Kestrel PRIVATE -static -s -Wl,--gc-sections)

# Message modules: the native message compiler turns each folder of messages/ into a
# message table, which becomes resource-only DLL <folder>.dll. They are data, read by the
# add-in as such, and always 32-bit, as shipped, whichever build makes them.
if(NOT KESTREL_MESSAGE_COMPILER)
    message(FATAL_ERROR "Set KESTREL_MESSAGE_COMPILER to the native kestrel-mc (scripts/test does).")
endif()

kestrel_message_modules(message_modules ${CMAKE_BINARY_DIR}/modules ${CMAKE_BINARY_DIR}/bin KESTREL_MODULE_FILES)

include(cmake/Host.cmake OPTIONAL)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    include(cmake/WineTests.cmake)
    include(cmake/DistTests.cmake)
    include(cmake/Bench.cmake)
else()
    # The 32-bit benchmark, which scripts/bench builds only where the kernel runs 32-bit
    # programs natively (elsewhere the 32-bit Wine runs under an emulator, which it would time).
    set(KESTREL_BENCH_ON_REQUEST ON)
    include(cmake/Bench.cmake)
endif()
