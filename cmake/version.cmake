# One version, set by project(... VERSION): a generated header hands it to the
# native program and to the Windows resources, and the packages take their
# names from it.
set(TINTMARK_COPYRIGHT "Copyright (c) 2026 TintMark developers")
set(TINTMARK_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/tintmark_version.h.in
               ${TINTMARK_GENERATED_DIR}/tintmark_version.h @ONLY)
target_include_directories(tintmark PRIVATE ${TINTMARK_GENERATED_DIR})

if(WIN32)
  # The version resource and the manifest, beside the dialogs' resource script.
  configure_file(${PROJECT_SOURCE_DIR}/res/tintmark.manifest.in
                 ${TINTMARK_GENERATED_DIR}/tintmark.manifest @ONLY)
  target_sources(tintmark PRIVATE ${PROJECT_SOURCE_DIR}/res/version.rc)
  set_property(SOURCE ${PROJECT_SOURCE_DIR}/res/version.rc APPEND PROPERTY OBJECT_DEPENDS
               ${TINTMARK_GENERATED_DIR}/tintmark.manifest
               ${TINTMARK_GENERATED_DIR}/tintmark_version.h)
endif()
