# Installation, desktop integration and the Debian package.

# The udev rule: syntax, and its vendor IDs against the printers the USB link lists.
cardtool_add_test(tst_udevrule USB)
target_compile_definitions(tst_udevrule PRIVATE CARDTOOL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
