# Installation, desktop integration and the Debian package.

# The udev rule: syntax, and its vendor IDs against the printers the USB link lists.
cardtool_add_test(tst_udevrule USB)
target_compile_definitions(tst_udevrule PRIVATE CARDTOOL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

# Desktop entry, metainfo and icon, through desktop-file-validate and appstreamcli.
find_package(Qt5 REQUIRED COMPONENTS Xml)
cardtool_add_test(tst_desktopfiles LIBS Qt5::Xml)
target_compile_definitions(tst_desktopfiles PRIVATE
  CARDTOOL_SOURCE_DIR="${PROJECT_SOURCE_DIR}" CARDTOOL_VERSION="${PROJECT_VERSION}")

# cmake --install into a temporary root, then the installed tool started through its
# launcher under an X server of the test's own. It runs the real tool: the key "Tool".
find_package(X11 REQUIRED)
cardtool_add_test(tst_install SOURCES tst_install.cpp windowtitle.cpp windowtitle.h
                  x11close.cpp x11close.h LIBS X11::X11)
target_compile_definitions(tst_install PRIVATE CARDTOOL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  CARDTOOL_BUILD_DIR="${PROJECT_BINARY_DIR}" CMAKE_COMMAND="${CMAKE_COMMAND}")
add_dependencies(tst_install cardtool)
# The layout is the same in a sanitizer build, and a sanitized tool is not what ships.
set_tests_properties(tst_install PROPERTIES RESOURCE_LOCK single_instance_key TIMEOUT 300
                     LABELS no-sanitize)

# cpack -G DEB into a temporary directory; contents, dependencies and lintian.
cardtool_add_test(tst_package)
target_compile_definitions(tst_package PRIVATE CARDTOOL_BUILD_DIR="${PROJECT_BINARY_DIR}"
  CPACK_COMMAND="${CMAKE_CPACK_COMMAND}")
add_dependencies(tst_package cardtool)
set_tests_properties(tst_package PROPERTIES TIMEOUT 600 LABELS no-sanitize)

# Not a test: pictures of the window for the README and the metainfo
# (scripts/screenshots.sh runs it under Xvfb).
add_executable(cardtool_screenshots screenshots.cpp)
target_link_libraries(cardtool_screenshots PRIVATE cardtool_testsupport cardtool_virtualprinter
  "-Wl,--push-state,--no-as-needed" ${UMOCKDEV_PRELOAD_LIBRARY} "-Wl,--pop-state")
target_compile_definitions(cardtool_screenshots PRIVATE CARDTOOL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
