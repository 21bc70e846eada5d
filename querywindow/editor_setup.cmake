# The query window's editor set-up and subclass (Part 3.2).
target_sources(vintrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CodeMax.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SubCodeMax.cpp)
