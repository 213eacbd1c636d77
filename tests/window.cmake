# Main window, configuration and start-up.
cardtool_add_test(tst_form SOURCES tst_form.cpp)
target_compile_definitions(tst_form PRIVATE CARDTOOL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

cardtool_add_test(tst_startup SOURCES tst_startup.cpp)
cardtool_add_test(tst_config SOURCES tst_config.cpp)

# The application directory is checked with a real executable copied and linked elsewhere.
add_executable(apppath_probe apppath_probe.cpp)
target_link_libraries(apppath_probe PRIVATE cardtool_testsupport)
cardtool_add_test(tst_apppath SOURCES tst_apppath.cpp)
target_compile_definitions(tst_apppath PRIVATE APPPATH_PROBE_EXE="$<TARGET_FILE:apppath_probe>")
add_dependencies(tst_apppath apppath_probe)

# The single-instance guard starts the real tool. Every process shares the key "Tool": any
# other test that starts cardtool must take the same RESOURCE_LOCK.
find_package(X11 REQUIRED)
cardtool_add_test(tst_singleinstance SOURCES tst_singleinstance.cpp x11close.cpp x11close.h
                  LIBS X11::X11)
target_compile_definitions(tst_singleinstance PRIVATE CARDTOOL_EXE="$<TARGET_FILE:cardtool>")
add_dependencies(tst_singleinstance cardtool)
set_tests_properties(tst_singleinstance PROPERTIES RESOURCE_LOCK single_instance_key)
