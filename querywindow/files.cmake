# Script files and templates of the query window.
target_sources(vintrel_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ScriptFiles.cpp)

# Until the window records' own implementation is in the tree, the program-wide
# values and the title that the dialogs and script files use come from a
# stand-in; it drops out by itself once WindowRecords.cpp exists.
if(NOT EXISTS ${CMAKE_CURRENT_LIST_DIR}/WindowRecords.cpp)
  target_sources(vintrel_core PRIVATE ${CMAKE_SOURCE_DIR}/tests/dialogs/RecordsStandIn.cpp)
endif()
