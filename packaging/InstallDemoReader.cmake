# SPDX-License-Identifier: BSD-3-Clause
# Install-time part of the demo reader: writes its pcscd reader configuration
# with the absolute paths of this installation. pcscd reads /etc/reader.conf.d
# for the /usr prefix and <prefix>/etc/reader.conf.d otherwise.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(_confdir "/etc/reader.conf.d")
else()
  set(_confdir "${CMAKE_INSTALL_PREFIX}/etc/reader.conf.d")
endif()

set(SIM_COMMENT "The cardbench demo reader: a simulated PIN pad with a demo card (package cardbench-demo-reader)")
set(SIM_NAME "TAV Bench PinPad")
set(SIM_SCENARIO "${CMAKE_INSTALL_PREFIX}/${BENCHKIT_DEMO_DATA_DIR}/demo.scn")
set(SIM_LIBPATH "${CMAKE_INSTALL_PREFIX}/${BENCHKIT_DEMO_DRIVER_DIR}/libsimreader.so")
set(SIM_CHANNEL 0)
file(READ "${SIMREADER_READER_TEMPLATE}" _template)
string(CONFIGURE "${_template}" _entry @ONLY)

# One staging file per destination, so that an install and a package build
# running at once do not write each other's file.
string(MD5 _key "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(_stage "${BENCHKIT_DEMO_STAGE_DIR}/conf-${_key}")
file(MAKE_DIRECTORY "${_stage}")
file(WRITE "${_stage}/cardbench-demo-reader" "${_entry}")
file(INSTALL DESTINATION "${_confdir}" TYPE FILE PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
     FILES "${_stage}/cardbench-demo-reader")
