# delay_import(<target> <dll> <name>:<argument bytes>...)
# Links <target> to <dll> through a delay-import library: the DLL is loaded at
# the first call of one of the named functions, not when the program starts.
# The argument bytes give the 32-bit stdcall decoration (name@bytes).
function(delay_import target dll)
  string(REGEX REPLACE "\\.dll$" "" base "${dll}")
  set(def "${CMAKE_CURRENT_BINARY_DIR}/${base}_delay.def")
  set(lib "${CMAKE_CURRENT_BINARY_DIR}/lib${base}_delay.a")
  set(lines "LIBRARY ${dll}\nEXPORTS\n")
  foreach(entry IN LISTS ARGN)
    string(REPLACE ":" ";" parts "${entry}")
    list(GET parts 0 name)
    list(GET parts 1 bytes)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      string(APPEND lines "${name}@${bytes}\n")
    else()
      string(APPEND lines "${name}\n")
    endif()
  endforeach()
  file(CONFIGURE OUTPUT "${def}" CONTENT "${lines}")
  add_custom_command(OUTPUT "${lib}"
                     COMMAND "${CMAKE_DLLTOOL}" --kill-at --input-def "${def}" --dllname "${dll}"
                             --output-delaylib "${lib}"
                     DEPENDS "${def}" VERBATIM)
  add_custom_target(${base}_delay DEPENDS "${lib}")
  add_dependencies(${target} ${base}_delay)
  target_link_libraries(${target} PUBLIC "${lib}")
endfunction()
