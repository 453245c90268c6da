# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT

# The version and its date are written once, in the top entry of
# debian/changelog. The project, the manual page and the package take them
# from there, so a release is one new changelog entry.
#
# Sets MKENTRY_VERSION (such as 1.2.0) and MKENTRY_DATE (such as 2026-12-08).

set(changelog ${CMAKE_CURRENT_LIST_DIR}/../debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
file(STRINGS ${changelog} changelog_top REGEX "^mkentry \\(|^ -- " LIMIT_COUNT 2)

if(NOT changelog_top MATCHES "^mkentry \\(([0-9]+\\.[0-9]+\\.[0-9]+)\\)")
    message(FATAL_ERROR "debian/changelog: no version in its first line")
endif()
set(MKENTRY_VERSION ${CMAKE_MATCH_1})

# The trailer line: " -- Name <mail>  Tue, 08 Dec 2026 10:00:00 +0000"
if(NOT changelog_top MATCHES ">  [A-Z][a-z][a-z], ([0-9]?[0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    message(FATAL_ERROR "debian/changelog: no date in the first entry's trailer line")
endif()
set(day ${CMAKE_MATCH_1})
set(year ${CMAKE_MATCH_3})
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${CMAKE_MATCH_2} month)
math(EXPR month "${month} + 1")
if(month LESS 10)
    set(month 0${month})
endif()
if(day MATCHES "^[0-9]$")
    set(day 0${day})
endif()
set(MKENTRY_DATE ${year}-${month}-${day})
