# Hardening of the shipped programs, and build outputs that do not depend on
# when or where they were built. The program and every library it is made of.
set(TINTMARK_ROLE_LIBRARIES tintmark_platform tintmark_core tintmark_settings)
if(WIN32)
  # ASLR (with high-entropy addresses on x86_64) and DEP, which the linker
  # sets by default today, made explicit; no link time in the PE header, so
  # two builds of one commit are byte-identical.
  target_link_options(tintmark PRIVATE -Wl,--dynamicbase -Wl,--nxcompat
                      -Wl,--no-insert-timestamp)
  # No symbol table or debug sections in the shipped program: the static
  # runtime libraries bring theirs along.
  target_link_options(tintmark PRIVATE -s)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_link_options(tintmark PRIVATE -Wl,--high-entropy-va)
  endif()
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT (TINTMARK_SANITIZE OR TINTMARK_FUZZ))
  # The native program as Debian builds its packages: fortified string calls,
  # stack protector, position-independent and read-only relocations (ELF
  # linker options, so Linux only).
  set(TINTMARK_HARDENING_COMPILE -U_FORTIFY_SOURCE $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>
      -fstack-protector-strong -fstack-clash-protection)
  foreach(target tintmark ${TINTMARK_ROLE_LIBRARIES})
    target_compile_options(${target} PRIVATE ${TINTMARK_HARDENING_COMPILE})
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  endforeach()
  target_link_options(tintmark PRIVATE -pie -Wl,-z,relro -Wl,-z,now)
endif()
# No build folder in the objects (assertion and debug paths), so that two
# build folders give the same bytes.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" OR CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(TINTMARK_PREFIX_MAPS -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
      -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
  foreach(target tintmark ${TINTMARK_ROLE_LIBRARIES})
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${TINTMARK_PREFIX_MAPS}>)
  endforeach()
endif()
