# Windows build: tandem.exe, tplayer.exe and the tests that run under Wine.
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

set(WIN32_LIBS comctl32 comdlg32 shell32 gdi32 user32 advapi32 ole32 winmm mfplat mfreadwrite mfuuid)
# The version resources of both programs carry the project's version.
set_source_files_properties(resources/tandem.rc resources/tplayer.rc PROPERTIES COMPILE_DEFINITIONS
  "TANDEM_VERSION_MAJOR=${PROJECT_VERSION_MAJOR};TANDEM_VERSION_MINOR=${PROJECT_VERSION_MINOR};TANDEM_VERSION=${PROJECT_VERSION}")

# The window layers: the library windows and dialogs sit on the shell (whose
# window helpers join it here), the control panel on them, and the entry
# point on the panel.
target_link_libraries(tandem_base PUBLIC ${WIN32_LIBS})
tandem_layer(tandem_windows ${PROJECT_SOURCE_DIR}/source/windows)
target_include_directories(tandem_windows PUBLIC ${PROJECT_SOURCE_DIR}/resources)
target_link_libraries(tandem_windows PUBLIC tandem_shell)
tandem_layer(tandem_panel ${PROJECT_SOURCE_DIR}/source/panel)
target_link_libraries(tandem_panel PUBLIC tandem_windows)
add_executable(tandem WIN32 source/shell/winmain.cpp resources/tandem.rc)
target_link_libraries(tandem PRIVATE tandem_panel)
tandem_warnings(tandem)

if(EXISTS ${PROJECT_SOURCE_DIR}/player/tplayer.cpp)
  add_executable(tplayer WIN32 player/tplayer.cpp player/tpsound.cpp resources/tplayer.rc)
  set_source_files_properties(resources/tplayer.rc PROPERTIES OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/resources/art/tplayer.ico)
  target_link_libraries(tplayer PRIVATE tplayer_model ${WIN32_LIBS} strmiids winmm)
  tandem_warnings(tplayer)
endif()

# Unit tests that need no fakes of the seam run cross-built under Wine too:
# the same readers, the real C library and file system of Windows.
set(PORTABLE_TESTS mp3_test string2_test list_test db_test library_test loudness_test)
foreach(name ${PORTABLE_TESTS})
  set(src ${PROJECT_SOURCE_DIR}/tests/unit/${name}.cpp)
  if(EXISTS ${src})
    add_executable(win_${name} ${src})
    target_link_libraries(win_${name} PRIVATE tandem_core tandem_tools gtest gtest_main)
    tandem_warnings(win_${name})
    gtest_discover_tests(win_${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         TEST_PREFIX "win." PROPERTIES LABELS unit TIMEOUT 300)
  endif()
endforeach()
# The meter's cross-check on encoded files has them made on the host.
if(TARGET win_loudness_test)
  target_compile_definitions(win_loudness_test PRIVATE LOUD_SCRIPT="${PROJECT_SOURCE_DIR}/tests/unit/loudfiles.sh"
                             LOUD_SCRATCH="${CMAKE_BINARY_DIR}/loudfiles")
endif()

# The measuring speed of one worker under Wine (bench/loudness.sh); run by hand.
add_executable(loudmeasure ${PROJECT_SOURCE_DIR}/bench/loudmeasure.cpp)
target_link_libraries(loudmeasure PRIVATE tandem_core)
tandem_warnings(loudmeasure)

# Driving the real programs as a user would (tools/drive): the end-to-end
# tests, the demo, the manual's pictures and the benchmarks all use it.
file(GLOB DRIVE_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/drive/*.cpp)
add_library(tandem_drive STATIC ${DRIVE_SOURCES})
target_include_directories(tandem_drive PUBLIC ${PROJECT_SOURCE_DIR}/tools/drive ${PROJECT_SOURCE_DIR}/resources)
target_link_libraries(tandem_drive PUBLIC tandem_core tplayer_model tandem_tools ${WIN32_LIBS})
target_compile_definitions(tandem_drive PUBLIC TPLAYER_EXE="$<TARGET_FILE:tplayer>")
tandem_warnings(tandem_drive)

# Programs that drive a running Tandem: the demo's hands on the control panel
# (scripts/demo), the manual's pictures (scripts/make-manual) and a user's
# actions during the unattended mixing benchmark (bench/mixwine.sh).
if(TARGET tandem)
  foreach(driver tools/demo/demodrive tools/manual/manualdrive bench/mixinject)
    get_filename_component(name ${driver} NAME)
    add_executable(${name} ${PROJECT_SOURCE_DIR}/${driver}.cpp)
    target_link_libraries(${name} PRIVATE tandem_drive)
    add_dependencies(${name} tandem tplayer)
    tandem_warnings(${name})
  endforeach()
endif()

# Round trip of one player command against a running tplayer.exe; run by hand.
add_executable(wampcall_roundtrip ${PROJECT_SOURCE_DIR}/bench/wampcall_roundtrip.cpp)
target_link_libraries(wampcall_roundtrip PRIVATE tandem_drive)
add_dependencies(wampcall_roundtrip tplayer)
tandem_warnings(wampcall_roundtrip)

# Windows-side tests: the player registry against real tplayer.exe windows and
# the end-to-end suites that drive tandem.exe.
file(GLOB E2E_SUPPORT CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/e2e/support/*.cpp)
file(GLOB E2E_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/e2e/*_test.cpp)
if(E2E_TESTS)
  add_library(tandem_e2e STATIC ${E2E_SUPPORT})
  target_include_directories(tandem_e2e PUBLIC ${PROJECT_SOURCE_DIR}/tests/e2e/support)
  target_link_libraries(tandem_e2e PUBLIC tandem_drive gtest)
  set(E2E_PROGRAMS tplayer)
  if(TARGET tandem)
    target_compile_definitions(tandem_e2e PUBLIC TANDEM_EXE="$<TARGET_FILE:tandem>")
    list(APPEND E2E_PROGRAMS tandem)
  endif()
  tandem_warnings(tandem_e2e)
  foreach(src ${E2E_TESTS})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE tandem_e2e gtest_main)
    add_dependencies(${name} ${E2E_PROGRAMS})
    tandem_warnings(${name})
    # One label only: gtest_discover_tests flattens a list of labels into separate properties.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         PROPERTIES LABELS e2e TIMEOUT 600 RUN_SERIAL TRUE)
  endforeach()

  # The player's timing as heard (bench/playertiming.sh) and the library
  # windows benchmark (bench/libwin.sh, bench/addtree.sh); run by hand.
  add_executable(playertiming ${PROJECT_SOURCE_DIR}/bench/playertiming.cpp)
  target_link_libraries(playertiming PRIVATE tandem_e2e)
  add_dependencies(playertiming tplayer)
  tandem_warnings(playertiming)
  if(TARGET tandem)
    add_executable(libwin_bench ${PROJECT_SOURCE_DIR}/bench/libwin_bench.cpp)
    target_link_libraries(libwin_bench PRIVATE tandem_e2e gtest_main)
    add_dependencies(libwin_bench tandem tplayer)
    tandem_warnings(libwin_bench)
  endif()
endif()

# Resource templates and their test.
include(${PROJECT_SOURCE_DIR}/cmake/resources.cmake OPTIONAL)
