# The USB printer link, end to end through libusb against the virtual printer.
cardtool_add_test(tst_usb USB)
cardtool_add_test(tst_printerentry)
