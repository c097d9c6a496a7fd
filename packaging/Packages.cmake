# SPDX-License-Identifier: BSD-3-Clause
# Debian packages, one per component: cpack -G DEB in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cardbench)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${BENCHKIT_MAINTAINER}")
# The demo reader's configuration lives in /etc, outside the prefix: install
# with DESTDIR, under the prefix /usr whatever the build's own prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL cardbench firmloader libreaderctl devel readerctl-tool demoreader)
set(CPACK_DEB_COMPONENT_INSTALL ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE cardbench)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_CARDBENCH_PACKAGE_NAME cardbench)
set(CPACK_DEBIAN_CARDBENCH_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_CARDBENCH_PACKAGE_DEPENDS "pcscd")
set(CPACK_DEBIAN_CARDBENCH_PACKAGE_SUGGESTS "cardbench-demo-reader, pcsc-tools")
set(CPACK_DEBIAN_CARDBENCH_DESCRIPTION "test console for PC/SC smart-card readers
An interactive console for engineers who develop, qualify and service
smart-card readers and cards. In one window it connects to a card in any
share mode and protocol, resets it cold or warm, shows a decoded ATR, sends
APDUs typed in hexadecimal and shows the answers with their status-word
meanings, replays command files, drives the reader's PIN-pad features and
keeps a dated exchange log.")

set(CPACK_DEBIAN_FIRMLOADER_PACKAGE_NAME firmloader)
set(CPACK_DEBIAN_FIRMLOADER_PACKAGE_SECTION utils)
# The library package brings the udev rule that opens the boot interface to
# the desktop user.
set(CPACK_DEBIAN_FIRMLOADER_PACKAGE_DEPENDS "libreaderctl1 (>= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_FIRMLOADER_DESCRIPTION "firmware loader for smart-card readers
A small window that downloads a firmware image to a smart-card reader over
the reader's USB HID boot and maintenance interface, with a running log of
every step, and follows the reader through its restart.")

set(CPACK_DEBIAN_LIBREADERCTL_PACKAGE_NAME libreaderctl1)
set(CPACK_DEBIAN_LIBREADERCTL_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# dpkg runs ldconfig once for all packages that ask for it; scripts of our
# own keep the packager from adding its own ldconfig calls as well.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/debian/libreaderctl/triggers "activate-noawait ldconfig\n")
configure_file(debian/libreaderctl-postinst ${CMAKE_CURRENT_BINARY_DIR}/debian/libreaderctl/postinst COPYONLY)
configure_file(debian/libreaderctl-postrm ${CMAKE_CURRENT_BINARY_DIR}/debian/libreaderctl/postrm COPYONLY)
set(CPACK_DEBIAN_LIBREADERCTL_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_BINARY_DIR}/debian/libreaderctl/triggers
  ${CMAKE_CURRENT_BINARY_DIR}/debian/libreaderctl/postinst
  ${CMAKE_CURRENT_BINARY_DIR}/debian/libreaderctl/postrm)
set(CPACK_DEBIAN_LIBREADERCTL_DESCRIPTION "smart-card reader firmware and maintenance library
Nine C functions for a smart-card reader's USB HID boot and maintenance
interface: firmware download, reset, firmware version, EEPROM read and
write, interface switch.
.
This package holds the shared library and the udev rule that gives the
desktop user access to the reader's boot interface.")

set(CPACK_DEBIAN_DEVEL_PACKAGE_NAME libreaderctl-dev)
set(CPACK_DEBIAN_DEVEL_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVEL_DEPENDS libreaderctl)
set(CPACK_DEBIAN_DEVEL_DESCRIPTION "smart-card reader firmware and maintenance library - development files
Nine C functions for a smart-card reader's USB HID boot and maintenance
interface: firmware download, reset, firmware version, EEPROM read and
write, interface switch.
.
This package holds the header, the pkg-config file and the manual page.")

set(CPACK_DEBIAN_READERCTL-TOOL_PACKAGE_NAME readerctl)
set(CPACK_DEBIAN_READERCTL-TOOL_PACKAGE_SECTION utils)
# Like firmloader: the library package brings the udev rule that opens the
# boot interface to the user.
set(CPACK_DEBIAN_READERCTL-TOOL_PACKAGE_DEPENDS "libreaderctl1 (>= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_READERCTL-TOOL_DESCRIPTION "command-line firmware loader and maintenance tool for smart-card readers
Lists the smart-card readers whose USB HID boot and maintenance interface is
present, and flashes and checks one of them, chosen by its device node, from
a terminal or a script: firmware download with a progress bar, firmware
version, reset, EEPROM read and write, interface switch. Clear exit codes
and JSON output for production lines and service shops.")

set(CPACK_DEBIAN_DEMOREADER_PACKAGE_NAME cardbench-demo-reader)
set(CPACK_DEBIAN_DEMOREADER_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_DEMOREADER_PACKAGE_DEPENDS "pcscd")
set(CPACK_DEBIAN_DEMOREADER_DESCRIPTION "simulated PIN-pad reader for pcscd, to try cardbench
Adds the reader TAV Bench PinPad to the system's pcscd: a simulated
PIN-pad reader holding a demo card that answers a few commands (select,
read binary, get challenge, verify with the PIN 1234) and offers the
PIN-pad features, so that cardbench can be tried without a reader.")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/debian/demoreader/conffiles "/etc/reader.conf.d/cardbench-demo-reader\n")
configure_file(debian/demo-reader-postinst ${CMAKE_CURRENT_BINARY_DIR}/debian/demoreader/postinst COPYONLY)
configure_file(debian/demo-reader-postrm ${CMAKE_CURRENT_BINARY_DIR}/debian/demoreader/postrm COPYONLY)
set(CPACK_DEBIAN_DEMOREADER_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_BINARY_DIR}/debian/demoreader/conffiles
  ${CMAKE_CURRENT_BINARY_DIR}/debian/demoreader/postinst
  ${CMAKE_CURRENT_BINARY_DIR}/debian/demoreader/postrm)

include(CPack)
