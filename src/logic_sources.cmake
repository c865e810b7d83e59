# The code that needs no Win32: the library ombup_logic here, and the native
# sanitizer and fuzzing build in native/. One list, so the two cannot drift.
set(OMBUP_LOGIC_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/formats/pe_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/formats/subject_name.cpp
  ${CMAKE_CURRENT_LIST_DIR}/install/staged_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/net/missing_file_marker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/net/widen_string.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/bar_geometry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/update/launch_options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/update/version_code.cpp
)
# The release check's own logic that needs no Win32: its command line and
# its report.
set(OMBUP_RELEASE_LOGIC_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/release/release_arguments.cpp
  ${CMAKE_CURRENT_LIST_DIR}/release/release_report.cpp
)
