# The query window's editor set-up and subclass.
target_sources(vintrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CodeMax.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SubCodeMax.cpp)
