# The package that scripts/dist makes, tested as users get it; its output stays in this
# build folder. The 32-bit product's zip is checked as files (no Wine needed); the same
# script's zip of this 64-bit build is unpacked into a fresh folder and the add-in loaded
# from there under Wine.
set(KESTREL_DIST_WORK ${CMAKE_BINARY_DIR}/dist)

if(KESTREL_PRODUCT_DIR)
    add_test(NAME dist.MakePackage32
             COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/dist --from ${KESTREL_PRODUCT_DIR} --out ${KESTREL_DIST_WORK}/i686)
    add_test(NAME dist.CheckPackage32
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/dist/check-package.sh ${KESTREL_DIST_WORK}/i686 ${KESTREL_PRODUCT_DIR})
    set_tests_properties(dist.MakePackage32 PROPERTIES FIXTURES_SETUP dist32 LABELS dist)
    set_tests_properties(dist.CheckPackage32 PROPERTIES FIXTURES_REQUIRED dist32 LABELS dist)
endif()

add_test(NAME dist.UnpackPackage64
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/dist/unpack-package.sh ${CMAKE_BINARY_DIR}/bin ${KESTREL_DIST_WORK}/x86_64)
set_tests_properties(dist.UnpackPackage64 PROPERTIES FIXTURES_SETUP dist64 LABELS dist)

add_executable(UnpackedPackageTest tests/dist/UnpackedPackageTest.cpp)
target_link_libraries(UnpackedPackageTest PRIVATE wine_harness gtest_main)
target_link_options(UnpackedPackageTest PRIVATE -static)
target_compile_definitions(UnpackedPackageTest PRIVATE KESTREL_UNPACKED_DIR="Z:${KESTREL_DIST_WORK}/x86_64/unpacked")
add_dependencies(UnpackedPackageTest Kestrel message_modules)
add_test(NAME dist.UnpackedPackage COMMAND UnpackedPackageTest)
set_tests_properties(dist.UnpackedPackage PROPERTIES FIXTURES_REQUIRED dist64 LABELS "dist;wine" TIMEOUT 120)
