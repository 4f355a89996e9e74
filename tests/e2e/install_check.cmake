# Installs a build tree under a fresh prefix and checks that the program, its desktop entry,
# its icons, its metadata and its manual page land where desktops and man look for them.
#   cmake -DBUILD_DIR=<build tree> -DPREFIX=<empty folder> -P install_check.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(f bin/velora share/applications/velora.desktop share/icons/hicolor/scalable/apps/velora.svg
    share/icons/hicolor/48x48/apps/velora.png share/metainfo/io.github.velora.Velora.metainfo.xml
    share/man/man1/velora.1.gz)
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
file(REMOVE_RECURSE ${PREFIX})
