# Warnings for the project's own targets.
function(velora_warnings target)
  # clang spells GCC's -Wshadow=local differently.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    set(shadow -Wshadow-uncaptured-local)
  else()
    set(shadow -Wshadow=local)
  endif()
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic ${shadow} -Wnon-virtual-dtor
    -Wold-style-cast -Wcast-align -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
  if(VELORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A subsystem library made of every source in its folder (sub-folders excluded).
function(velora_library name)
  # LINKS are public (the library's headers use them); PRIVATE_LINKS only its sources.
  cmake_parse_arguments(ARG "" "" "LINKS;PRIVATE_LINKS;SOURCES" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
                                   ${CMAKE_CURRENT_SOURCE_DIR}/*.ui ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  list(FILTER srcs INCLUDE REGEX "\\.(cpp|ui|qrc)$")
  if(NOT srcs AND NOT ARG_SOURCES)
    # A subsystem with no code yet still takes part in the link graph.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
    target_link_libraries(${name} INTERFACE ${ARG_LINKS})
    return()
  endif()
  file(GLOB hdrs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${srcs} ${hdrs} ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${ARG_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
  velora_warnings(${name})
endfunction()

# A test program made of every source in the calling folder, run by CTest one test per
# process (singletons and threads start fresh for every test).
# THREADED suites exercise threads of the core and also run under ThreadSanitizer; a
# ThreadSanitizer tree builds only those.
# Suites labelled x11 drive one shared X display (focus, keyboard, server grabs): their tests
# hold the lock "x11display", so that no two of them run at once, whatever `ctest -j` says.
function(velora_test_suite name)
  cmake_parse_arguments(ARG "THREADED;GUI" "" "LINKS;LABELS;SOURCES;ENVIRONMENT" ${ARGN})
  if("thread" IN_LIST VELORA_SANITIZE AND NOT ARG_THREADED)
    return()
  endif()
  if(ARG_THREADED)
    list(APPEND ARG_LABELS threaded)
    set_property(GLOBAL APPEND PROPERTY VELORA_THREADED_SUITES ${name})
  endif()
  if(NOT ARG_ENVIRONMENT)
    set(ARG_ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${srcs} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gtest GTest::gmock velora_test_support)
  # GUI suites run inside a QApplication.
  if(ARG_GUI)
    target_link_libraries(${name} PRIVATE velora_test_main_gui Qt6::Widgets)
  else()
    target_link_libraries(${name} PRIVATE velora_test_main)
  endif()
  velora_warnings(${name})
  set(lock "")
  if("x11" IN_LIST ARG_LABELS)
    set(lock RESOURCE_LOCK x11display)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 120 ENVIRONMENT "${ARG_ENVIRONMENT}" ${lock})
endfunction()
