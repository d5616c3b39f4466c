# The 32-bit host build's image tests (CTest label `image`): the kernel image vexacam.sys built
# by the cross compiler as the win32-kernel preset builds it, the integration tests run a
# second time against that image, and the platform's layout table for the layout proof.

# The image, built in this build tree.
include(ExternalProject)
set(VEXACAM_KERNEL_BUILD ${CMAKE_BINARY_DIR}/win32-kernel)
set(VEXACAM_KERNEL_IMAGE ${VEXACAM_KERNEL_BUILD}/vexacam.sys)
ExternalProject_Add(vexacam_kernel_image
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${VEXACAM_KERNEL_BUILD}
  CMAKE_GENERATOR ${CMAKE_GENERATOR}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-mingw-i686.cmake
             -DCMAKE_BUILD_TYPE=Release
             -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${VEXACAM_KERNEL_IMAGE})

# The platform's layout table: the record list compiled against the published driver headers
# by the cross compiler, its .abi section taken out as raw 32-bit words.
find_program(VEXACAM_MINGW_CXX NAMES i686-w64-mingw32-g++-win32 i686-w64-mingw32-g++ REQUIRED)
find_program(VEXACAM_MINGW_OBJCOPY i686-w64-mingw32-objcopy REQUIRED)
find_path(VEXACAM_DDK_INCLUDE_DIR strmini.h PATHS /usr/i686-w64-mingw32/include/ddk
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(abi_source ${CMAKE_CURRENT_SOURCE_DIR}/image/mingw/platform_abi_table.cpp)
set(abi_object ${CMAKE_CURRENT_BINARY_DIR}/platform_abi_table.obj)
set(abi_table ${CMAKE_CURRENT_BINARY_DIR}/platform_abi_table.bin)
add_custom_command(
  OUTPUT ${abi_table}
  COMMAND ${VEXACAM_MINGW_CXX} -std=c++20 -DVEXACAM_WIN32_KERNEL -I${PROJECT_SOURCE_DIR}
          -I${CMAKE_CURRENT_SOURCE_DIR} -isystem ${VEXACAM_DDK_INCLUDE_DIR} -Wno-ignored-attributes
          -MD -MF ${abi_object}.d -c ${abi_source} -o ${abi_object}
  COMMAND ${VEXACAM_MINGW_OBJCOPY} -O binary -j .abi ${abi_object} ${abi_table}
  DEPENDS ${abi_source}
  DEPFILE ${abi_object}.d
  COMMENT "Layout table of the platform's driver headers"
  VERBATIM)
add_custom_target(vexacam_platform_abi_table DEPENDS ${abi_table})

add_dependencies(test_image vexacam_kernel_image vexacam_platform_abi_table)
target_compile_definitions(test_image PRIVATE
  VEXACAM_KERNEL_IMAGE="${VEXACAM_KERNEL_IMAGE}" VEXACAM_PLATFORM_ABI_TABLE="${abi_table}")

# The integration tests again, with the image as the driver under test.
set(image_programs integration stream controls campaign driver cli)

# Everything `ctest -L image` runs, and nothing else of the tree (CI builds only this).
add_custom_target(image_tests)
add_dependencies(image_tests test_image vexacam)
foreach(program IN LISTS image_programs)
  add_dependencies(image_tests test_${program})
endforeach()
set(image_filter_driver "AdapterLifecycleTest.*")
set(image_filter_campaign "-FaultCampaign.*")
foreach(program IN LISTS image_programs)
  add_dependencies(test_${program} vexacam_kernel_image)
  set(filter "*")
  if(DEFINED image_filter_${program})
    set(filter ${image_filter_${program}})
  endif()
  gtest_discover_tests(test_${program}
    TEST_PREFIX "image."
    TEST_FILTER ${filter}
    TEST_LIST test_${program}_image_tests
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 600 LABELS image
               ENVIRONMENT "VEXACAM_DRIVER_IMAGE=${VEXACAM_KERNEL_IMAGE}")
endforeach()

# The fault campaign against the image: 200 seeded sessions in four shards that run side by side.
# CI runs the first shard (`-LE image-extra`); `ctest -L image` runs all four.
set(campaign_shard_sessions 50)
foreach(shard RANGE 0 3)
  math(EXPR first "${shard} * ${campaign_shard_sessions} + 1")
  math(EXPR last "${first} + ${campaign_shard_sessions} - 1")
  add_test(NAME image.FaultCampaign.Seeds${first}to${last}
           COMMAND test_campaign --gtest_filter=FaultCampaign.NoSessionBreaksAnInvariant)
  set(labels image)
  if(shard GREATER 0)
    set(labels image image-extra)
  endif()
  set_tests_properties(image.FaultCampaign.Seeds${first}to${last} PROPERTIES
    LABELS "${labels}" TIMEOUT 1200
    ENVIRONMENT "VEXACAM_DRIVER_IMAGE=${VEXACAM_KERNEL_IMAGE};VEXACAM_CAMPAIGN_FIRST_SEED=${first};VEXACAM_CAMPAIGN_SESSIONS=${campaign_shard_sessions}")
endforeach()
