# The package that scripts/dist makes, tested as users get it; its output stays in this
# build folder. The 32-bit product's zip is checked as files (no Wine needed), and unpacked
# into a fresh folder and the add-in loaded from there under 32-bit Wine by the tree that
# tests the product; the 64-bit tree does the same with the same script's zip of its own
# build under 64-bit Wine.
set(KESTREL_DIST_WORK ${CMAKE_BINARY_DIR}/dist)

if(KESTREL_PRODUCT_DIR)
    add_test(NAME dist.MakePackage32
             COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/dist --from ${KESTREL_PRODUCT_DIR} --out ${KESTREL_DIST_WORK}/i686)
    add_test(NAME dist.CheckPackage32
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/dist/check-package.sh ${KESTREL_DIST_WORK}/i686 ${KESTREL_PRODUCT_DIR})
    set_tests_properties(dist.MakePackage32 PROPERTIES FIXTURES_SETUP dist32 LABELS dist)
    set_tests_properties(dist.CheckPackage32 PROPERTIES FIXTURES_REQUIRED dist32 LABELS dist)
endif()

# The zip unpacked and loaded here: in the tree that tests the product (32-bit), the product's
# own zip, as scripts/dist makes it from build/cross; in the 64-bit tree, its own build's.
if(KESTREL_TEST_PRODUCT)
    set(KESTREL_UNPACK_NAME dist.UnpackPackage32)
    set(KESTREL_UNPACK_FROM ${KESTREL_PRODUCT_DIR})
    set(KESTREL_UNPACK_WORK ${KESTREL_DIST_WORK}/i686-unpacked)
else()
    set(KESTREL_UNPACK_NAME dist.UnpackPackage64)
    set(KESTREL_UNPACK_FROM ${CMAKE_BINARY_DIR}/bin)
    set(KESTREL_UNPACK_WORK ${KESTREL_DIST_WORK}/x86_64)
endif()
add_test(NAME ${KESTREL_UNPACK_NAME}
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/dist/unpack-package.sh ${KESTREL_UNPACK_FROM} ${KESTREL_UNPACK_WORK})
set_tests_properties(${KESTREL_UNPACK_NAME} PROPERTIES FIXTURES_SETUP unpacked LABELS dist)

add_executable(UnpackedPackageTest tests/dist/UnpackedPackageTest.cpp)
target_link_libraries(UnpackedPackageTest PRIVATE wine_harness gtest_main)
target_link_options(UnpackedPackageTest PRIVATE -static)
target_compile_definitions(UnpackedPackageTest PRIVATE KESTREL_UNPACKED_DIR="Z:${KESTREL_UNPACK_WORK}/unpacked")
add_dependencies(UnpackedPackageTest Kestrel message_modules)
add_test(NAME dist.UnpackedPackage COMMAND UnpackedPackageTest)
set_tests_properties(dist.UnpackedPackage PROPERTIES FIXTURES_REQUIRED unpacked LABELS "dist;wine" TIMEOUT 120)
