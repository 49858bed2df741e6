# qorv_stdcall_exports(TARGET DEF_FILE): a Windows DLL's exports under their undecorated
# names at the ordinals of the .def file. i686 names carry the stdcall decoration there
# and lose it through --kill-at; x86_64 has none, and links with a copy of the .def
# without it, written when configuring (a changed .def configures again). The .def it
# links with is left in <TARGET>_LINKED_DEF.
function(qorv_stdcall_exports target def)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
    file(READ ${def} def_text)
    string(REGEX REPLACE "@[0-9]+ @" " @" def_text "${def_text}")
    get_filename_component(def_name ${def} NAME)
    set(def ${CMAKE_CURRENT_BINARY_DIR}/${def_name})
    file(WRITE ${def} "${def_text}")
  else()
    target_link_options(${target} PRIVATE -Wl,--kill-at)
  endif()
  set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "lib" IMPORT_SUFFIX ".dll.a")
  target_sources(${target} PRIVATE ${def})
  set(${target}_LINKED_DEF ${def} PARENT_SCOPE)
endfunction()
