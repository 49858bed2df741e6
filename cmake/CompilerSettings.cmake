# Warnings are errors on every target.
add_compile_options(-Wall -Wextra -Wpedantic -Werror)

if(WIN32)
  # The Windows DLL must depend on system DLLs only: the C++ runtime, libgcc and
  # winpthread are linked in statically, for the library and for every test program.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)
endif()

if(QORV_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

if(QORV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
