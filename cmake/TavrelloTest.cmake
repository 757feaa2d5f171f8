# tavrello_add_test(NAME <name> SOURCES <files...> LIBS <targets...>)
# Builds one Qt Test executable into build/<preset>/tests and registers it with CTest.
# GUI tests run on Qt's offscreen platform, so no X server is needed.
function(tavrello_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
  target_compile_definitions(${T_NAME} PRIVATE
    TAVRELLO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TAVRELLO_PROGRAM_DIR="${TAVRELLO_PROGRAM_DIR}"
    TAVRELLO_JET_TESTDATA="${TAVRELLO_JET_TESTDATA}")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
endfunction()
