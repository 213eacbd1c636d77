# Proof under stress: fault sweeps, soak, failed template stores, broken configuration.

# Every fault of the virtual printer at every piece of an upload, then a clean upload.
cardtool_add_test(tst_faultsweep USB SOURCES tst_faultsweep.cpp)

# Hundreds of enumerations and uploads in one process: descriptors, handles and memory.
cardtool_add_test(tst_soak USB SOURCES tst_soak.cpp)

# The file calls of a template store fail one by one; the wrappers in iofaults.cpp must be
# seen by Qt, so the executable exports its symbols.
cardtool_add_test(tst_storefailure SOURCES tst_storefailure.cpp support/iofaults.cpp
                  support/iofaults.h bmpfixtures.h LIBS ${CMAKE_DL_LIBS})
set_target_properties(tst_storefailure PROPERTIES ENABLE_EXPORTS ON)

# Broken configTool.ini files: the window opens every time.
cardtool_add_test(tst_badconfig SOURCES tst_badconfig.cpp)
