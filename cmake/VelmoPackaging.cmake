# The Debian package: `cpack -G DEB` in the build tree (scripts/package.sh)
# turns the install rules into build/velmo-service-tool_<version>_<arch>.deb.
#
# The release is read from the top entry of dist/debian/changelog, which must
# name the project's version: the package, the AppStream release and the
# manual pages then never disagree about version or date.

set(VELMO_PACKAGE_NAME velmo-service-tool)
set(VELMO_HOMEPAGE_URL "https://www.calvestrid.com/velmo/")
set(VELMO_SOURCE_URL "https://git.calvestrid.com/velmo/velmo-service-tool")
set(VELMO_SCREENSHOT_URL "${VELMO_SOURCE_URL}/raw/branch/main/docs/screenshots")
set(VELMO_MAINTAINER "Calvestrid Service Tools <service-tools@calvestrid.com>")
set(VELMO_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${VELMO_PACKAGE_NAME})

set(_velmo_changelog ${PROJECT_SOURCE_DIR}/dist/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_velmo_changelog})
file(STRINGS ${_velmo_changelog} _velmo_head LIMIT_COUNT 1)
if(NOT _velmo_head MATCHES "^${VELMO_PACKAGE_NAME} \\(([0-9.]+)-([0-9]+)\\) ")
    message(FATAL_ERROR "${_velmo_changelog}: the first line is not an entry of "
                        "${VELMO_PACKAGE_NAME}: '${_velmo_head}'")
endif()
set(VELMO_DEBIAN_REVISION ${CMAKE_MATCH_2})
if(NOT CMAKE_MATCH_1 VERSION_EQUAL PROJECT_VERSION)
    message(FATAL_ERROR "${_velmo_changelog} begins with version ${CMAKE_MATCH_1}, the project "
                        "is ${PROJECT_VERSION}: add an entry for the new version")
endif()
file(STRINGS ${_velmo_changelog} _velmo_trailer REGEX "^ -- " LIMIT_COUNT 1)
if(NOT _velmo_trailer MATCHES ", ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    message(FATAL_ERROR "${_velmo_changelog}: no date in '${_velmo_trailer}'")
endif()
math(EXPR _velmo_day "${CMAKE_MATCH_1}")
set(_velmo_month_name ${CMAKE_MATCH_2})
set(_velmo_year ${CMAKE_MATCH_3})
set(_velmo_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND _velmo_months ${_velmo_month_name} _velmo_month)
if(_velmo_month LESS 0)
    message(FATAL_ERROR "${_velmo_changelog}: unknown month in '${_velmo_trailer}'")
endif()
math(EXPR _velmo_month "${_velmo_month} + 1")
foreach(_part _velmo_month _velmo_day)
    if(${_part} LESS 10)
        set(${_part} 0${${_part}})
    endif()
endforeach()
set(VELMO_RELEASE_DATE ${_velmo_year}-${_velmo_month}-${_velmo_day})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VELMO_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR Calvestrid)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VELMO_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
# The build may carry debug information; the package does not.
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VELMO_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VELMO_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VELMO_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "service tool for door and gate control boards
Flashes firmware into the control boards of automatic doors and gates
through their boot loader, after checking that the file is intact and was
made for the connected board, and reads the log files the boards write:
short logs as tables with descriptions and converted values, full logs as
graphs over the run count, with export to a spreadsheet.
.
The graphical front end (velmo-service-tool) and the serial daemon that owns
the port (velmo-serial) talk through a local MQTT broker. A virtual board
(velmo-board-sim) allows trying the tool without hardware.")
# Depends from the linked libraries; the SQLite driver is a Qt plugin that
# both the lookup database and the manual need, so no library names it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
# mosquitto's Debian service is the broker, listening on loopback only; the
# launchers start a user's own when it does not run. xdg-open shows exports.
# Qt's own texts (Yes, No, file dialogs) in the window's language come from
# qt6-translations-l10n; without it they stay English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "mosquitto, mosquitto-clients, xdg-utils, qt6-translations-l10n")

include(CPack)
