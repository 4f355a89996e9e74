# Installs a build tree under a fresh prefix and checks that the program, its desktop entry
# and its icon land where desktops look for them.
#   cmake -DBUILD_DIR=<build tree> -DPREFIX=<empty folder> -P install_check.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(f bin/velora share/applications/velora.desktop share/icons/hicolor/scalable/apps/velora.svg)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
# The entry starts the program by name and names the installed icon.
file(READ ${PREFIX}/share/applications/velora.desktop entry)
foreach(line "Exec=velora" "Icon=velora" "Type=Application")
  string(FIND "${entry}" "${line}" at)
  if(at LESS 0)
    message(FATAL_ERROR "the desktop entry lacks ${line}")
  endif()
endforeach()
execute_process(COMMAND ${PREFIX}/bin/velora --version RESULT_VARIABLE result OUTPUT_VARIABLE version)
if(NOT result EQUAL 0 OR NOT version MATCHES "^velora ")
  message(FATAL_ERROR "the installed program does not run: ${result} ${version}")
endif()
# The options work without a display; a bad one is refused with status 2 and a pointer to --help.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY ${PREFIX}/bin/velora --help
  RESULT_VARIABLE result OUTPUT_VARIABLE usage)
if(NOT result EQUAL 0 OR NOT usage MATCHES "--version")
  message(FATAL_ERROR "velora --help: ${result} ${usage}")
endif()
execute_process(COMMAND ${PREFIX}/bin/velora --verbose RESULT_VARIABLE result ERROR_VARIABLE refusal)
if(NOT result EQUAL 2 OR NOT refusal MATCHES "verbose.*velora --help")
  message(FATAL_ERROR "velora --verbose: ${result} ${refusal}")
endif()
file(REMOVE_RECURSE ${PREFIX})
