# Card area templates: BMP reading and the four template slots of the window.
cardtool_add_test(tst_bmpfile SOURCES tst_bmpfile.cpp bmpfixtures.h)
cardtool_add_test(tst_templates SOURCES tst_templates.cpp bmpfixtures.h)
