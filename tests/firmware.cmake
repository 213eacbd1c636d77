# Firmware page end to end: the window, the real libusb and the virtual printer.
cardtool_add_test(tst_firmware USB SOURCES tst_firmware.cpp)
