# One static library per folder, from every .cpp in it that is not a test,
# and one test executable from every Name_test.cpp beside the code.
#
#   wex_folder(NAME <lib> [DEPS <targets>...] [TEST_DEPS <targets>...] [QT])
function(wex_folder)
  cmake_parse_arguments(WF "QT" "NAME" "DEPS;TEST_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  list(REMOVE_ITEM sources ${tests} "")
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)

  add_library(${WF_NAME} STATIC ${sources} ${headers})
  target_link_libraries(${WF_NAME} PUBLIC ${WF_DEPS} Threads::Threads)
  if(WF_QT)
    set_target_properties(${WF_NAME} PROPERTIES AUTOMOC ON)
  endif()

  if(tests AND WEX_BUILD_TESTS)
    add_executable(${WF_NAME}_tests ${tests})
    target_link_libraries(${WF_NAME}_tests PRIVATE ${WF_NAME} ${WF_TEST_DEPS} GTest::gmock GTest::gtest_main)
    if(WF_QT)
      set_target_properties(${WF_NAME}_tests PROPERTIES AUTOMOC ON)
    endif()
    # The folder's name labels its tests, so that a build can run some folders only.
    gtest_discover_tests(${WF_NAME}_tests
      DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS ${WF_NAME})
  endif()
endfunction()
