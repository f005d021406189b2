# What the Debian package (debian/, built by dpkg-buildpackage through
# scripts/package.sh) and the installed files share.
#
# The release is read from the top entry of debian/changelog, which must name
# the project's version: the package, the AppStream release and the manual
# pages then never disagree about version or date.

set(VELMO_PACKAGE_NAME velmo-service-tool)
set(VELMO_HOMEPAGE_URL "https://www.calvestrid.com/velmo/")
set(VELMO_SOURCE_URL "https://git.calvestrid.com/velmo/velmo-service-tool")
set(VELMO_SCREENSHOT_URL "${VELMO_SOURCE_URL}/raw/branch/main/docs/screenshots")

set(_velmo_changelog ${PROJECT_SOURCE_DIR}/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_velmo_changelog})
file(STRINGS ${_velmo_changelog} _velmo_head LIMIT_COUNT 1)
if(NOT _velmo_head MATCHES "^${VELMO_PACKAGE_NAME} \\(([0-9.]+)-([0-9]+)\\) ")
    message(FATAL_ERROR "${_velmo_changelog}: the first line is not an entry of "
                        "${VELMO_PACKAGE_NAME}: '${_velmo_head}'")
endif()
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
