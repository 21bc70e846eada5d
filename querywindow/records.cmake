# Window records, layout, status bar and the splitter bar.
target_sources(vintrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/WindowRecords.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SplitterWnd.cpp)
