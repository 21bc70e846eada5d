# Script files and templates of the query window.
target_sources(vintrel_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ScriptFiles.cpp)
