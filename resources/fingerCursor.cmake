# The hand cursor is drawn by our own generator at build time and compiled into
# the given target as the resource ":/fingerCursor.png".
set(VELKARN_FINGER_CURSOR_SOURCE ${CMAKE_CURRENT_LIST_DIR}/make-finger-cursor.cpp)

function(velkarn_add_finger_cursor target)
  add_executable(make-finger-cursor ${VELKARN_FINGER_CURSOR_SOURCE})
  target_link_libraries(make-finger-cursor PRIVATE Qt6::Gui)

  set(png ${CMAKE_CURRENT_BINARY_DIR}/fingerCursor.png)
  add_custom_command(OUTPUT ${png}
    COMMAND make-finger-cursor ${png}
    DEPENDS make-finger-cursor
    COMMENT "Drawing fingerCursor.png"
    VERBATIM)
  set_source_files_properties(${png} PROPERTIES GENERATED TRUE QT_RESOURCE_ALIAS fingerCursor.png)
  qt_add_resources(${target} velkarn_finger_cursor PREFIX "/" FILES ${png})
endfunction()
