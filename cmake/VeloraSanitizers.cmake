# Sanitizers apply to everything built in this tree, third-party code included.
if(VELORA_SANITIZE)
  string(REPLACE ";" "," _san "${VELORA_SANITIZE}")
  add_compile_options(-fsanitize=${_san} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=${_san})
  if("thread" IN_LIST VELORA_SANITIZE)
    add_compile_definitions(VELORA_TSAN=1)
  endif()
endif()
