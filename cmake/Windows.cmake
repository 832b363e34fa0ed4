# The Win32 program, its test programs and the engine stand-in.
add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0800 NOMINMAX STRICT)
add_compile_options(-Wall -Wextra -Wno-cast-function-type -Wno-missing-field-initializers)
set(WIN_STATIC -static -static-libgcc -static-libstdc++)
# Every program lands in the build tree's root, also those of subfolders:
# the test programs start helpers from there and tools/package.sh takes the
# packaged programs from there.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
set(WIN_LIBS comctl32 comdlg32 shell32 shlwapi ole32 oleaut32 uuid gdi32 msimg32 user32 advapi32 bcrypt dbghelp version)

# Icons and bitmaps are drawn by a script at build time.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(ART_DIR ${CMAKE_BINARY_DIR}/res/art)
set(ART_STAMP ${ART_DIR}/.stamp)
add_custom_command(
  OUTPUT ${ART_STAMP}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/res/gen_art.py ${ART_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${ART_STAMP}
  DEPENDS ${CMAKE_SOURCE_DIR}/res/gen_art.py
  COMMENT "Drawing icons and bitmaps")
add_custom_target(varnokel_art DEPENDS ${ART_STAMP})

add_library(varnokel_res OBJECT ${CMAKE_SOURCE_DIR}/res/Varnokel.rc)
add_dependencies(varnokel_res varnokel_art)
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/Varnokel.rc PROPERTIES
  OBJECT_DEPENDS "${ART_STAMP};${CMAKE_SOURCE_DIR}/res/resource.h")
target_include_directories(varnokel_res PRIVATE ${CMAKE_SOURCE_DIR}/res ${CMAKE_BINARY_DIR}/res ${CMAKE_SOURCE_DIR})

# Manifests (common controls 6 in both): every program links exactly one.
# varnokel_manifest runs with the caller's rights; varnokel_manifest_admin
# makes Windows ask for administrator rights, which the programs that write
# the system directory and HKEY_LOCAL_MACHINE need (a standard user's 64-bit
# process is not virtualised: without them nothing would persist).
add_library(varnokel_manifest OBJECT ${CMAKE_SOURCE_DIR}/res/Manifest.rc)
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/Manifest.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/res/app.manifest)
add_library(varnokel_manifest_admin OBJECT ${CMAKE_SOURCE_DIR}/res/ManifestAdmin.rc)
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/ManifestAdmin.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/res/admin.manifest)
target_include_directories(varnokel_manifest PRIVATE ${CMAKE_SOURCE_DIR}/res)
target_include_directories(varnokel_manifest_admin PRIVATE ${CMAKE_SOURCE_DIR}/res)

# varnokel_manifest(<target> ADMIN|INVOKER): links the manifest of that kind.
function(varnokel_manifest target kind)
  if(kind STREQUAL "ADMIN")
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:varnokel_manifest_admin>)
  elseif(kind STREQUAL "INVOKER")
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:varnokel_manifest>)
  else()
    message(FATAL_ERROR "varnokel_manifest(${target} ${kind}): kind must be ADMIN or INVOKER")
  endif()
endfunction()

# Every product source outside the core goes into one library, so that the
# test programs link exactly what the program runs.
set(SUBSYSTEMS framework app rules log settings crash ui)
set(WIN_SOURCES)
# A subsystem may keep a family of files in a folder of its own (ui/markup).
foreach(dir ${SUBSYSTEMS})
  file(GLOB_RECURSE found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  list(APPEND WIN_SOURCES ${found})
endforeach()
list(REMOVE_ITEM WIN_SOURCES ${CORE_SOURCES} ${CMAKE_SOURCE_DIR}/app/Main.cpp)

add_library(varnokel_win STATIC ${WIN_SOURCES})
varnokel_unity(varnokel_win 8)
varnokel_unity(varnokel_core 6)
target_include_directories(varnokel_win PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/res)
target_link_libraries(varnokel_win PUBLIC varnokel_core ${WIN_LIBS})

# Precompiled headers (VARNOKEL_PCH): <windows.h> and the common controls
# take a third of each source's compile time. Only the system's headers:
# GCC 12 forgets that the standard library's headers are system headers
# when they come from a precompiled header, and then warns about its own
# inlined string code (-Warray-bounds).
set(WIN_PCH_HEADERS <windows.h> <commctrl.h> <shellapi.h>)
# varnokel_pch(<target>): the target compiles with varnokel_win's precompiled header.
function(varnokel_pch target)
  if(VARNOKEL_PCH)
    target_precompile_headers(${target} REUSE_FROM varnokel_win)
  endif()
endfunction()
if(VARNOKEL_PCH)
  target_precompile_headers(varnokel_win PRIVATE ${WIN_PCH_HEADERS})
endif()

add_executable(Varnokel WIN32 ${CMAKE_SOURCE_DIR}/app/Main.cpp $<TARGET_OBJECTS:varnokel_res>)
target_link_libraries(Varnokel PRIVATE varnokel_win)
varnokel_pch(Varnokel)
target_link_options(Varnokel PRIVATE ${WIN_STATIC})
varnokel_manifest(Varnokel ADMIN)

# The access-engine stand-in: a console tool that plays the engine's side.
file(GLOB ENGINESIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/enginesim/*.cpp)
if(ENGINESIM_SOURCES)
  add_executable(engine-sim ${ENGINESIM_SOURCES})
  varnokel_unity(engine-sim 8)
  target_link_libraries(engine-sim PRIVATE varnokel_win)
  varnokel_pch(engine-sim)
  target_link_options(engine-sim PRIVATE ${WIN_STATIC})
  varnokel_manifest(engine-sim INVOKER)
endif()

# The report program that the crash handler starts after a crash: a small
# tool of its own beside the program, with its own resources.
add_executable(XCrashReport WIN32 ${CMAKE_SOURCE_DIR}/crashreport/XCrashReport.cpp
                                  ${CMAKE_SOURCE_DIR}/crashreport/XCrashReport.rc)
add_dependencies(XCrashReport varnokel_art)
target_include_directories(XCrashReport PRIVATE ${CMAKE_SOURCE_DIR}/crashreport ${CMAKE_SOURCE_DIR}/res
                                                ${CMAKE_BINARY_DIR}/res)
set_source_files_properties(${CMAKE_SOURCE_DIR}/crashreport/XCrashReport.rc PROPERTIES
  OBJECT_DEPENDS "${ART_STAMP};${CMAKE_SOURCE_DIR}/crashreport/CrashReportRes.h;${CMAKE_SOURCE_DIR}/res/app.manifest")
target_link_libraries(XCrashReport PRIVATE user32 gdi32 shell32)
target_link_options(XCrashReport PRIVATE ${WIN_STATIC})

# Demonstration programs: one window program per source in demo/.
file(GLOB DEMO_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/demo/*.cpp)
foreach(src ${DEMO_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} WIN32 ${src} $<TARGET_OBJECTS:varnokel_res>)
  target_link_libraries(${name} PRIVATE varnokel_win)
  varnokel_pch(${name})
  target_link_options(${name} PRIVATE ${WIN_STATIC})
  varnokel_manifest(${name} INVOKER)
endforeach()

# vkctl: the administrator's command-line tool, beside the program.
file(GLOB VKCTL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/vkctl/*.cpp)
add_executable(vkctl ${VKCTL_SOURCES})
varnokel_unity(vkctl 8)
target_link_libraries(vkctl PRIVATE varnokel_win)
varnokel_pch(vkctl)
target_link_options(vkctl PRIVATE ${WIN_STATIC})
# It runs with its caller's rights, so that a user can list, export, test
# and read the log without an elevation prompt; the commands that change the
# rules then need an elevated command prompt and say so when they lack it.
varnokel_manifest(vkctl INVOKER)

# Benchmarks: one program per source in bench/.
file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
foreach(src ${BENCH_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} $<TARGET_OBJECTS:varnokel_res>)
  target_link_libraries(${name} PRIVATE varnokel_win)
  varnokel_pch(${name})
  target_link_options(${name} PRIVATE ${WIN_STATIC})
  varnokel_manifest(${name} INVOKER)
  add_dependencies(${name} vkctl)
endforeach()

if(VARNOKEL_TESTS)
  enable_testing()
  include(GoogleTest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  file(GLOB TEST_COMMON CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/common/*.cpp)
  add_library(varnokel_testlib STATIC ${TEST_COMMON})
  target_link_libraries(varnokel_testlib PUBLIC varnokel_win gtest)
  target_include_directories(varnokel_testlib PUBLIC ${CMAKE_SOURCE_DIR}/tests)
  # The test programs share one precompiled header (their own: GoogleTest
  # gives them other definitions) that holds GoogleTest's header too: it
  # takes about a sixth of each test source's compile time. With the standard
  # library's headers in a precompiled header, GCC 12 no longer treats them
  # as system headers and warns about its own inlined string copies
  # (-Warray-bounds, a false alarm of that version), so the test programs
  # go without that warning; the product keeps it.
  if(VARNOKEL_PCH)
    target_precompile_headers(varnokel_testlib PRIVATE ${WIN_PCH_HEADERS} <gtest/gtest.h>)
    target_compile_options(varnokel_testlib PUBLIC -Wno-array-bounds)
  endif()
  # The tests' own code and GoogleTest are not optimised (a quarter less
  # compile time, and they spend their time waiting for the program); the
  # code they test is the product's, built as it ships.
  target_compile_options(varnokel_testlib PUBLIC -O0)
  target_compile_options(gtest PRIVATE -O0)

  # Helper programs that tests start as second processes: tests/helpers/NAME.cpp.
  file(GLOB HELPER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/helpers/*.cpp)
  set(TEST_HELPERS)
  foreach(src ${HELPER_SOURCES})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE varnokel_win)
    varnokel_pch(${name})
    target_link_options(${name} PRIVATE ${WIN_STATIC})
    varnokel_manifest(${name} INVOKER)
    list(APPEND TEST_HELPERS ${name})
  endforeach()

  # The crash probe: faults on purpose inside the program's own guards (a
  # test program, built beside the program but not part of the product).
  add_executable(crash_probe ${CMAKE_SOURCE_DIR}/tests/crash/probe/crash_probe.cpp $<TARGET_OBJECTS:varnokel_res>)
  target_link_libraries(crash_probe PRIVATE varnokel_win)
  varnokel_pch(crash_probe)
  target_link_options(crash_probe PRIVATE ${WIN_STATIC})
  varnokel_manifest(crash_probe INVOKER)
  # A message hook that the crash tests set on the real program's
  # user-interface thread, to fault there as code of other makers does.
  add_library(fault_hook SHARED ${CMAKE_SOURCE_DIR}/tests/crash/probe/fault_hook.cpp)
  set_target_properties(fault_hook PROPERTIES PREFIX "")
  target_link_options(fault_hook PRIVATE ${WIN_STATIC})
  list(APPEND TEST_HELPERS crash_probe fault_hook XCrashReport)

  # A case's usual time in seconds, by test program: CTest starts the slow
  # ones first when it runs several at a time, so that no slow case ends
  # the run alone (once CTest has timed the cases, it goes by their times).
  set(CASE_COST_crash 15)
  set(CASE_COST_vkctl 6)
  set(CASE_COST_log 5)
  set(CASE_COST_app 4)
  set(CASE_COST_rules 3)
  set(CASE_COST_settings 2)
  # Batches: make test runs each program's cases in a few processes rather
  # than one process a case (every Wine start of a test program costs a
  # fifth of a second of both cores' time, most of the suite's work). A
  # batch is one GoogleTest shard: every Nth case of the program. The
  # number of batches by program keeps the longest batch short.
  set(BATCHES_crash 5)
  set(BATCHES_log 4)
  set(BATCHES_app 2)
  set(BATCHES_vkctl 2)

  # One test program per subsystem folder, and one for the Win32-free core
  # (the same tests that run natively under the sanitizers), and one for
  # the command-line tool. The tests of a family folder (tests/ui/markup)
  # belong to their subsystem's program; other subfolders hold helper
  # programs (tests/crash/probe), not cases.
  foreach(dir ${SUBSYSTEMS} core vkctl)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${dir}/*.cpp
         ${CMAKE_SOURCE_DIR}/tests/${dir}/*/*Test.cpp)
    if(found)
      add_executable(test_${dir} ${found} $<TARGET_OBJECTS:varnokel_res>)
      target_link_libraries(test_${dir} PRIVATE varnokel_testlib)
      # Four test sources a compile: each compile loads the large
      # precompiled header and GoogleTest's templates once for all four.
      # GCC takes the included sources for headers and would warn about
      # every fixture in an anonymous namespace.
      varnokel_unity(test_${dir} 4)
      target_compile_options(test_${dir} PRIVATE -Wno-subobject-linkage)
      if(VARNOKEL_PCH)
        target_precompile_headers(test_${dir} REUSE_FROM varnokel_testlib)
      endif()
      target_link_options(test_${dir} PRIVATE ${WIN_STATIC})
      varnokel_manifest(test_${dir} INVOKER)
      if(TEST_HELPERS)
        add_dependencies(test_${dir} ${TEST_HELPERS})
      endif()
      if(TARGET engine-sim)
        add_dependencies(test_${dir} engine-sim Varnokel vkctl)
      endif()
      # One CTest test per GoogleTest case, named <dir>.<Suite>.<Case>, so
      # that `ctest -R` runs a single case and the summary counts cases. The
      # list is read from the program when ctest starts (through Wine, with
      # the wineserver that tools/wine-suite.sh keeps running), not at build
      # time. Every case takes one "wine" slot: tools/wine-suite.sh runs the
      # cases side by side, each in the Wine prefix of its slot
      # (tools/wine-test.sh); a plain ctest has no slots and uses $WINEPREFIX.
      set_target_properties(test_${dir} PROPERTIES CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tools/wine-test.sh)
      if(NOT DEFINED CASE_COST_${dir})
        set(CASE_COST_${dir} 1)
      endif()
      gtest_discover_tests(test_${dir}
        TEST_PREFIX ${dir}.
        EXTRA_ARGS --gtest_color=no
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES TIMEOUT 300 RESOURCE_GROUPS wine:1 COST ${CASE_COST_${dir}} LABELS case)
      # The batches, named all-<dir>-<i>of<n> so that a -R for cases does
      # not pick them; tools/wine-suite.sh --batches runs them (label batch).
      if(NOT DEFINED BATCHES_${dir})
        set(BATCHES_${dir} 1)
      endif()
      math(EXPR last "${BATCHES_${dir}} - 1")
      math(EXPR batchCost "${CASE_COST_${dir}} * 4")
      foreach(i RANGE ${last})
        math(EXPR number "${i} + 1")
        set(batch all-${dir}-${number}of${BATCHES_${dir}})
        add_test(NAME ${batch} COMMAND test_${dir} --gtest_color=no)
        set_tests_properties(${batch} PROPERTIES
          ENVIRONMENT "GTEST_TOTAL_SHARDS=${BATCHES_${dir}};GTEST_SHARD_INDEX=${i}"
          TIMEOUT 900 RESOURCE_GROUPS wine:1 LABELS batch COST ${batchCost})
      endforeach()
    endif()
  endforeach()
endif()
