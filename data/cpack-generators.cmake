# Read by cpack for each package it makes. Both start the program from their menu entry through
# the PATH, as neither can know the full path it will be installed to; only the archive is
# portable.
if(CPACK_GENERATOR STREQUAL "TGZ")
    set(CPACK_CUSTOM_INSTALL_VARIABLES DAHDIT_PACKAGING=ON DAHDIT_PORTABLE=ON)
else()
    set(CPACK_CUSTOM_INSTALL_VARIABLES DAHDIT_PACKAGING=ON)
endif()
